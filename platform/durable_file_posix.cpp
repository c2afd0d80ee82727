#include <fcntl.h>
#include <unistd.h>

#include "platform/durable_file.h"

namespace platform {

namespace fs = std::filesystem;

bool ReplaceFileDurably(const fs::path& path, const std::string& bytes) {
    fs::path temporary = path;
    temporary += ".new";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    std::error_code error;
    if (ok) fs::rename(temporary, path, error);
    if (!ok || error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

bool SyncFile(const fs::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

void SyncDirectory(const fs::path& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace platform
