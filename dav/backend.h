// The tree a WebDAV server serves, as paths and handles: "/" is the root,
// "/a/b" a member of "/a". Portable types only, so that the same server runs
// over the drive core on every system and over memory in tests.
//
// Threads: the server calls a backend from several connection threads at
// once; an implementation guards its own state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dav {

enum class Status { Ok, NotFound, Exists, NotDirectory, IsDirectory, NotEmpty, NoSpace, Denied, Failed };
const char* StatusText(Status status);

struct Entry {
    std::string name;  // the last path segment ("" for the root)
    bool directory = false;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // since 1970, UTC
    std::int64_t createdNs = 0;   // 0: not known (the modification time is shown)
    std::string sha256;           // lower-case hex of the whole content; empty when not known
};

struct Quota {
    bool known = false;
    std::uint64_t used = 0, available = 0;
};

class Backend {
public:
    virtual ~Backend() = default;

    virtual Status GetAttr(const std::string& path, Entry& entry) = 0;
    virtual Status ReadDir(const std::string& path, std::vector<Entry>& entries) = 0;
    virtual Status MakeDir(const std::string& path) = 0;
    virtual Status RemoveDir(const std::string& path) = 0;  // an empty directory
    virtual Status Unlink(const std::string& path) = 0;
    // Moves a file or directory; `replace` false refuses an existing target
    // with Exists. The parent of `to` exists (the server checks).
    virtual Status Rename(const std::string& from, const std::string& to, bool replace) = 0;
    // Creates or empties a file and opens it for writing at offsets from 0 up.
    virtual Status Create(const std::string& path, std::uint64_t& handle) = 0;
    // Opens a file for reading.
    virtual Status Open(const std::string& path, std::uint64_t& handle) = 0;
    // Reads up to `size` bytes; `got` 0 at the end of the file.
    virtual Status Read(std::uint64_t handle, char* buffer, std::size_t size, std::uint64_t offset,
                        std::size_t& got) = 0;
    virtual Status Write(std::uint64_t handle, const char* buffer, std::size_t size, std::uint64_t offset) = 0;
    // Closes a handle; for a written file this is where its bytes are kept
    // (a failure here means the write is lost and is reported as such).
    virtual Status Release(std::uint64_t handle) = 0;
    virtual Status SetModified(const std::string& path, std::int64_t modifiedNs) = 0;
    virtual Quota GetQuota() { return {}; }
};

}  // namespace dav
