#include <windows.h>

#include <algorithm>

#include "platform/durable_file.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

bool WriteAndFlush(const fs::path& path, const std::string& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    for (std::size_t at = 0; ok && at < bytes.size();) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1 << 20));
        ok = ::WriteFile(file, bytes.data() + at, chunk, &wrote, nullptr) && wrote == chunk;
        at += wrote;
    }
    ok = ok && ::FlushFileBuffers(file);
    ::CloseHandle(file);
    return ok;
}

}  // namespace

bool ReplaceFileDurably(const fs::path& path, const std::string& bytes) {
    fs::path temporary = path;
    temporary += L".new";
    if (WriteAndFlush(temporary, bytes) &&
        ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    std::error_code error;
    fs::remove(temporary, error);
    return false;
}

bool SyncFile(const fs::path& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::FlushFileBuffers(file) != 0;
    ::CloseHandle(file);
    return ok;
}

void SyncDirectory(const fs::path&) {}

}  // namespace platform
