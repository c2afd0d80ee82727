// An open registry key that closes itself, and the few value operations the
// saved-accounts store needs. Texts are in the ANSI code page; they are
// written with their length in bytes and without a terminating zero.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace signin {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            Close();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }

    // Return the Win32 error code (ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ...).
    LONG Open(HKEY root, const char* path, REGSAM access);
    // `created` tells whether the key was new.
    LONG Create(HKEY root, const char* path, REGSAM access, bool& created);

    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void Close();

private:
    HKEY key_ = nullptr;
};

// A value's raw data as read, with its type.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<unsigned char> data;
};

// Reads a value whole if its data fits in `capacity` bytes; nothing when it
// is missing or bigger. An empty name means the unnamed value.
std::optional<RegistryValue> ReadValue(HKEY key, const std::string& name, std::size_t capacity);

// The value's data as text: the bytes up to the first zero.
std::string ValueText(const RegistryValue& value);

bool WriteText(HKEY key, const std::string& name, const std::string& text);
bool WriteBinary(HKEY key, const std::string& name, const std::vector<unsigned char>& data);

// One step of an enumeration of a key's values.
enum class EnumStep {
    Value,     // name and value filled
    Unusable,  // the value at this index could not be read whole; go on
    End,       // no more values
};

// Reads the value at `index` if its name fits in nameCapacity bytes (with
// the terminating zero) and its data in dataCapacity bytes. A dataCapacity
// of 0 reads the name only.
EnumStep EnumValue(HKEY key, DWORD index, std::size_t nameCapacity, std::size_t dataCapacity, std::string& name,
                   RegistryValue& value);

}  // namespace signin
