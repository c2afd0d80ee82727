#include "registry_scratch.h"

namespace wintest {
namespace {

class Key {
public:
    Key(HKEY root, const char* path, REGSAM access, bool create) {
        if (create)
            RegCreateKeyExA(root, path, 0, nullptr, 0, access, nullptr, &key_, nullptr);
        else
            RegOpenKeyExA(root, path, 0, access, &key_);
    }
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

void DeleteTree(HKEY root, REGSAM view) {
    Key software(root, "SOFTWARE", KEY_ALL_ACCESS | view, false);
    if (software.Get()) RegDeleteTreeA(software.Get(), "Vantlo");
}

}  // namespace

void RegistryScratch::Clear() {
    DeleteTree(HKEY_CURRENT_USER, 0);
    DeleteTree(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
    DeleteTree(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
}

bool KeyExists(HKEY root, const char* path, REGSAM view) {
    Key key(root, path, KEY_READ | view, false);
    return key.Get() != nullptr;
}

RawValue ReadRaw(HKEY root, const char* path, const std::string& name, REGSAM view) {
    RawValue value;
    Key key(root, path, KEY_READ | view, false);
    if (!key.Get()) return value;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return value;
    value.data.resize(size);
    if (size &&
        RegQueryValueExA(key.Get(), name.c_str(), nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    value.exists = true;
    return value;
}

void WriteRawText(HKEY root, const char* path, const std::string& name, const std::string& text, REGSAM view) {
    Key key(root, path, KEY_ALL_ACCESS | view, true);
    RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                   static_cast<DWORD>(text.size()));
}

void WriteRawBinary(HKEY root, const char* path, const std::string& name, const std::vector<unsigned char>& data,
                    REGSAM view) {
    Key key(root, path, KEY_ALL_ACCESS | view, true);
    RegSetValueExA(key.Get(), name.c_str(), 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

std::vector<std::string> ValueNames(HKEY root, const char* path, REGSAM view) {
    std::vector<std::string> names;
    Key key(root, path, KEY_READ | view, false);
    if (!key.Get()) return names;
    for (DWORD index = 0;; ++index) {
        char name[1024];
        DWORD length = sizeof name;
        LONG result = RegEnumValueA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS) names.emplace_back(name, length);
    }
    return names;
}

}  // namespace wintest
