#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/local_file.h"

namespace platform {
namespace {

std::string ErrorText(int number) {
    return std::strerror(number);
}

}  // namespace

LocalFile::~LocalFile() {
    Close();
}

LocalFile::LocalFile(LocalFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LocalFile& LocalFile::operator=(LocalFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool LocalFile::CreateNew(const std::filesystem::path& path, unsigned mode, std::string& error) {
    Close();
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode & 0777));
    if (fd_ < 0) return error = ErrorText(errno), false;
    // The umask may have taken bits away; the mode asked for is the one meant.
    if (fchmod(fd_, static_cast<mode_t>(mode & 0777)) != 0) return error = ErrorText(errno), Close(), false;
    return true;
}

bool LocalFile::OpenExisting(const std::filesystem::path& path, std::string& error) {
    Close();
    fd_ = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return error = errno == ELOOP ? "it is a symbolic link" : ErrorText(errno), false;
    struct stat info {};
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
        Close();
        return error = "it is not a regular file of this user", false;
    }
    int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    return true;
}

bool LocalFile::IsOpen() const {
    return fd_ >= 0;
}

bool LocalFile::SetMode(unsigned mode) {
    return fd_ >= 0 && fchmod(fd_, static_cast<mode_t>(mode & 0777)) == 0;
}

bool LocalFile::Resize(std::uint64_t size) {
    return fd_ >= 0 && ftruncate(fd_, static_cast<off_t>(size)) == 0;
}

bool LocalFile::Size(std::uint64_t& size) const {
    struct stat info {};
    if (fd_ < 0 || fstat(fd_, &info) != 0) return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool LocalFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = pwrite(fd_, data, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n, size -= static_cast<std::size_t>(n), offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool LocalFile::ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got) const {
    got = 0;
    while (got < size) {
        ssize_t n = pread(fd_, data + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool LocalFile::Sync() {
    return fd_ >= 0 && fsync(fd_) == 0;
}

bool LocalFile::PunchHole(std::uint64_t offset, std::uint64_t size) {
#ifdef __linux__
    return fd_ >= 0 && fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                                 static_cast<off_t>(size)) == 0;
#else
    (void)offset, (void)size;
    return false;
#endif
}

int LocalFile::LastErrno() {
    return errno ? errno : EIO;
}

bool LocalFile::TryLock() {
    return fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

bool LocalFile::Close() {
    if (fd_ < 0) return true;
    return close(std::exchange(fd_, -1)) == 0;
}

EntryKind InspectEntry(const std::filesystem::path& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return errno == ENOENT ? EntryKind::Absent : EntryKind::Other;
    return S_ISREG(info.st_mode) && info.st_uid == geteuid() ? EntryKind::OwnRegularFile : EntryKind::Other;
}

bool MakePrivateDirectory(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) return false;
    return (info.st_mode & 077) == 0 || chmod(path.c_str(), 0700) == 0;
}

}  // namespace platform
