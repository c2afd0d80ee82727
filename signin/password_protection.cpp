#include "signin/password_protection.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <wincrypt.h>

namespace signin {
namespace {

// Ties the protected bytes to this program: another program of the same
// user that calls CryptUnprotectData without it gets nothing.
const char kEntropy[] = "Vantlo saved password";

DATA_BLOB EntropyBlob() {
    return DATA_BLOB{static_cast<DWORD>(sizeof kEntropy - 1), reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
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
    DATA_BLOB blob{};
};

}  // namespace

std::optional<std::vector<unsigned char>> ProtectPassword(const std::string& password) {
    DATA_BLOB in{static_cast<DWORD>(password.size()), reinterpret_cast<BYTE*>(const_cast<char*>(password.data()))};
    DATA_BLOB entropy = EntropyBlob();
    CryptOutput out;
    if (!CryptProtectData(&in, L"Vantlo", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    return std::vector<unsigned char>(out.blob.pbData, out.blob.pbData + out.blob.cbData);
}

std::optional<std::string> UnprotectPassword(const std::vector<unsigned char>& stored) {
    if (stored.empty()) return std::nullopt;
    DATA_BLOB in{static_cast<DWORD>(stored.size()), const_cast<BYTE*>(stored.data())};
    DATA_BLOB entropy = EntropyBlob();
    CryptOutput out;
    if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(out.blob.pbData), out.blob.cbData);
}

}  // namespace signin
