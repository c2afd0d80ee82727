#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace platform {
namespace {

// Owns a file descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + at, bytes.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool WritePrivateFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::path temporary = path;
    temporary += ".new";
    unlink(temporary.c_str());
    // Created with 0600 from the start: the bytes are never readable by others, not even briefly.
    Descriptor file(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.Get() < 0) return false;
    bool written = fchmod(file.Get(), 0600) == 0 && WriteAll(file.Get(), bytes) && fsync(file.Get()) == 0;
    written = file.Close() && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool ReadPrivateFile(const std::filesystem::path& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    Descriptor file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (file.Get() < 0 || fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid() ||
        (info.st_mode & 077) != 0 || static_cast<std::size_t>(info.st_size) > limit)
        return false;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    for (std::size_t at = 0; at < bytes.size();) {
        ssize_t n = read(file.Get(), &bytes[at], bytes.size() - at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return bytes.clear(), false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace platform
