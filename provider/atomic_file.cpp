#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "random_text.h"
#include "unique_fd.h"

namespace provider {

namespace {

bool WriteNew(const std::string& path, std::string_view content, bool flush) {
    UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!file) return false;
    std::string_view left = content;
    while (!left.empty()) {
        ssize_t n = ::write(file.Get(), left.data(), left.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::unlink(path.c_str());
            return false;
        }
        left.remove_prefix(static_cast<std::size_t>(n));
    }
    if ((flush && ::fsync(file.Get()) != 0) || ::close(file.Release()) != 0) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool WriteNewFile(const std::string& path, std::string_view content) {
    return WriteNew(path, content, false);
}

bool SyncFileSystem(const std::string& path) {
    UniqueFd directory(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return directory && ::syncfs(directory.Get()) == 0;
}

bool WriteFileAtomically(const std::string& path, std::string_view content) {
    const std::string temporary = path + ".tmp-" + RandomAlnum(8);
    if (!WriteNew(temporary, content, true)) return false;
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
    content.clear();
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) return false;
    char piece[65536];
    for (;;) {
        ssize_t n = ::read(file.Get(), piece, sizeof piece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        content.append(piece, static_cast<std::size_t>(n));
    }
}

bool MakeDirectories(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

}  // namespace provider
