// Registry helpers for the Windows-side tests: a clean slate for the
// saved-accounts keys, and raw reads and writes that bypass the store, so a
// test can arrange what an earlier version left and check what was written.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wintest {

// Removes "SOFTWARE\Vantlo" under HKEY_CURRENT_USER and (both views of)
// HKEY_LOCAL_MACHINE when made and again when destroyed.
class RegistryScratch {
public:
    RegistryScratch() { Clear(); }
    ~RegistryScratch() { Clear(); }
    RegistryScratch(const RegistryScratch&) = delete;
    RegistryScratch& operator=(const RegistryScratch&) = delete;
    static void Clear();
};

struct RawValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::vector<unsigned char> data;  // as RegQueryValueExA gives it
    // The text up to its terminating zero, if it has one. (Windows stores a
    // text with its zero even when the writer gave the length without it.)
    std::string Text() const {
        std::string text(data.begin(), data.end());
        return text.substr(0, text.find('\0'));
    }
};

// `view` is 0 or KEY_WOW64_32KEY / KEY_WOW64_64KEY.
bool KeyExists(HKEY root, const char* path, REGSAM view = 0);
RawValue ReadRaw(HKEY root, const char* path, const std::string& name, REGSAM view = 0);
// Creates the key when needed; the text is written without a terminating zero.
void WriteRawText(HKEY root, const char* path, const std::string& name, const std::string& text, REGSAM view = 0);
void WriteRawBinary(HKEY root, const char* path, const std::string& name, const std::vector<unsigned char>& data,
                    REGSAM view = 0);
// Value names in the registry's enumeration order (the unnamed value as "").
std::vector<std::string> ValueNames(HKEY root, const char* path, REGSAM view = 0);

}  // namespace wintest
