// Files that a download writes beside its target, opened so that nothing
// found in their place is written through: the last component of the path
// is never followed when it is a symbolic link (O_NOFOLLOW; a reparse point
// on Windows), a new file is created exclusively, and an existing one is
// taken only when it is a regular file of the current user. Reads and
// writes name their offset, so that several threads can fill one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {

class LocalFile {
public:
    LocalFile() = default;
    ~LocalFile();
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;
    LocalFile(LocalFile&& other) noexcept;
    LocalFile& operator=(LocalFile&& other) noexcept;

    // Creates the file, failing when anything (a link included) is there;
    // `mode` holds its permission bits from the start (POSIX only).
    bool CreateNew(const std::filesystem::path& path, unsigned mode, std::string& error);
    // Opens a regular file of the current user for reading and writing.
    bool OpenExisting(const std::filesystem::path& path, std::string& error);

    bool IsOpen() const;
    bool SetMode(unsigned mode);
    bool Resize(std::uint64_t size);
    bool Size(std::uint64_t& size) const;
    bool WriteAt(std::uint64_t offset, const char* data, std::size_t size);
    // `got` may be short only at the end of the file.
    bool ReadAt(std::uint64_t offset, char* data, std::size_t size, std::size_t& got) const;
    bool Sync();
    // Gives back the disk space of a range (it reads as zeros after); false
    // where the file system cannot.
    bool PunchHole(std::uint64_t offset, std::uint64_t size);
    // Takes the file's exclusive lock without waiting; it is let go on Close.
    bool TryLock();
    bool Close();
    // Why the last call of this thread failed, as an errno value (EIO when
    // the system says nothing nearer).
    static int LastErrno();

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

enum class EntryKind {
    Absent,
    OwnRegularFile,  // a regular file (not a link) of the current user
    Other,           // a link, a directory, a device, or another user's file
};

// What stands at `path`, without following a link there.
EntryKind InspectEntry(const std::filesystem::path& path);

// Creates the directory (and its parents) and makes the last one readable
// by the current user alone (0700); false when it is not a directory of
// this user afterwards.
bool MakePrivateDirectory(const std::filesystem::path& path);

}  // namespace platform
