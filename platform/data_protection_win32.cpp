#include "platform/data_protection.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <wincrypt.h>

namespace platform {
namespace {

DATA_BLOB Blob(const std::string& bytes) {
    return DATA_BLOB{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

// Owns the output of CryptProtectData / CryptUnprotectData; wipes it first.
class CryptOutput {
public:
    CryptOutput() = default;
    ~CryptOutput() {
        if (blob.pbData) {
            SecureZeroMemory(blob.pbData, blob.cbData);
            LocalFree(blob.pbData);
        }
    }
    CryptOutput(const CryptOutput&) = delete;
    CryptOutput& operator=(const CryptOutput&) = delete;
    std::string Bytes() const { return std::string(reinterpret_cast<const char*>(blob.pbData), blob.cbData); }
    DATA_BLOB blob{};
};

}  // namespace

std::optional<std::string> SealForUser(const std::string& bytes, const std::string& entropy) {
    DATA_BLOB in = Blob(bytes), tie = Blob(entropy);
    CryptOutput out;
    if (!CryptProtectData(&in, L"Vantlo", &tie, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    return out.Bytes();
}

std::optional<std::string> UnsealForUser(const std::string& sealed, const std::string& entropy) {
    if (sealed.empty()) return std::nullopt;
    DATA_BLOB in = Blob(sealed), tie = Blob(entropy);
    CryptOutput out;
    if (!CryptUnprotectData(&in, nullptr, &tie, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    return out.Bytes();
}

}  // namespace platform
