#include "signin/registry_key.h"

#include <algorithm>

namespace signin {

LONG RegistryKey::Open(HKEY root, const char* path, REGSAM access) {
    Close();
    return RegOpenKeyExA(root, path, 0, access, &key_);
}

LONG RegistryKey::Create(HKEY root, const char* path, REGSAM access, bool& created) {
    Close();
    DWORD disposition = 0;
    LONG result =
        RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key_, &disposition);
    created = result == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return result;
}

void RegistryKey::Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
}

std::optional<RegistryValue> ReadValue(HKEY key, const std::string& name, std::size_t capacity) {
    RegistryValue value;
    value.data.assign(capacity, 0);
    DWORD size = static_cast<DWORD>(capacity);
    LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
    if (result != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(std::min<std::size_t>(size, capacity));
    return value;
}

std::string ValueText(const RegistryValue& value) {
    auto end = std::find(value.data.begin(), value.data.end(), 0);
    return std::string(value.data.begin(), end);
}

bool WriteText(HKEY key, const std::string& name, const std::string& text) {
    return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
                          static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
}

bool WriteBinary(HKEY key, const std::string& name, const std::vector<unsigned char>& data) {
    return RegSetValueExA(key, name.c_str(), 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size())) ==
           ERROR_SUCCESS;
}

EnumStep EnumValue(HKEY key, DWORD index, std::size_t nameCapacity, std::size_t dataCapacity, std::string& name,
                   RegistryValue& value) {
    std::vector<char> nameBuffer(nameCapacity, '\0');
    DWORD nameLength = static_cast<DWORD>(nameCapacity);
    value.type = REG_NONE;
    value.data.assign(dataCapacity, 0);
    DWORD dataSize = static_cast<DWORD>(dataCapacity);
    LONG result = RegEnumValueA(key, index, nameBuffer.data(), &nameLength, nullptr, &value.type,
                                dataCapacity ? value.data.data() : nullptr, dataCapacity ? &dataSize : nullptr);
    if (result == ERROR_NO_MORE_ITEMS) return EnumStep::End;
    if (result != ERROR_SUCCESS) return EnumStep::Unusable;
    name.assign(nameBuffer.data(), std::min<std::size_t>(nameLength, nameCapacity - 1));
    value.data.resize(dataCapacity ? std::min<std::size_t>(dataSize, dataCapacity) : 0);
    return EnumStep::Value;
}

}  // namespace signin
