#include "platform/private_file.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include <windows.h>

#include "platform/data_protection.h"

namespace platform {
namespace {

// Ties the sealed bytes to this program's private files.
const char kEntropy[] = "Vantlo private file";

}  // namespace

bool WritePrivateFile(const std::filesystem::path& path, const std::string& bytes) {
    const std::optional<std::string> sealed = SealForUser(bytes, kEntropy);
    if (!sealed) return false;
    std::filesystem::path temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(sealed->data(), static_cast<std::streamsize>(sealed->size()));
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
    std::optional<std::string> plain = UnsealForUser(stored, kEntropy);
    if (!plain) return false;
    if (plain->size() > limit) {
        SecureZeroMemory(plain->data(), plain->size());
        return false;
    }
    bytes = std::move(*plain);
    return true;
}

}  // namespace platform
