#include "platform/private_file.h"

#include <fstream>
#include <iterator>
#include <vector>

#include <windows.h>
// After windows.h, which it builds on.
#include <wincrypt.h>

namespace platform {
namespace {

// Ties the sealed bytes to this program's private files.
const char kEntropy[] = "Vantlo private file";

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
    DATA_BLOB blob{};
};

}  // namespace

bool WritePrivateFile(const std::filesystem::path& path, const std::string& bytes) {
    const std::string entropyText(kEntropy, sizeof kEntropy - 1);
    DATA_BLOB in = Blob(bytes), entropy = Blob(entropyText);
    CryptOutput sealed;
    if (!CryptProtectData(&in, L"Vantlo", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &sealed.blob))
        return false;
    std::filesystem::path temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(sealed.blob.pbData), sealed.blob.cbData);
        if (!out.flush()) return false;
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool ReadPrivateFile(const std::filesystem::path& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    std::error_code error;
    // Sealing adds a few hundred bytes.
    auto size = std::filesystem::file_size(path, error);
    if (error || size > limit + 4096) return false;
    std::ifstream in(path, std::ios::binary);
    std::string stored{std::istreambuf_iterator<char>(in), {}};
    const std::string entropyText(kEntropy, sizeof kEntropy - 1);
    DATA_BLOB sealed = Blob(stored), entropy = Blob(entropyText);
    CryptOutput plain;
    if (stored.empty() ||
        !CryptUnprotectData(&sealed, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &plain.blob) ||
        plain.blob.cbData > limit)
        return false;
    bytes.assign(reinterpret_cast<const char*>(plain.blob.pbData), plain.blob.cbData);
    return true;
}

}  // namespace platform
