// A backend that keeps its tree in memory: for tests and for trying a
// WebDAV client without a mailbox.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "dav/backend.h"

namespace dav {

class MemoryBackend : public Backend {
public:
    MemoryBackend();

    Status GetAttr(const std::string& path, Entry& entry) override;
    Status ReadDir(const std::string& path, std::vector<Entry>& entries) override;
    Status MakeDir(const std::string& path) override;
    Status RemoveDir(const std::string& path) override;
    Status Unlink(const std::string& path) override;
    Status Rename(const std::string& from, const std::string& to, bool replace) override;
    Status Create(const std::string& path, std::uint64_t& handle) override;
    Status Open(const std::string& path, std::uint64_t& handle) override;
    Status Read(std::uint64_t handle, char* buffer, std::size_t size, std::uint64_t offset, std::size_t& got) override;
    Status Write(std::uint64_t handle, const char* buffer, std::size_t size, std::uint64_t offset) override;
    Status Release(std::uint64_t handle) override;
    Status SetModified(const std::string& path, std::int64_t modifiedNs) override;
    Quota GetQuota() override;

    // Bytes the tree may hold in all (writes past it fail with NoSpace).
    void SetCapacity(std::uint64_t bytes);

private:
    struct Node {
        bool directory = false;
        std::shared_ptr<std::string> content = std::make_shared<std::string>();
        std::int64_t modifiedNs = 0, createdNs = 0;
        std::string sha256;
    };
    struct OpenFile {
        std::string path;
        std::shared_ptr<std::string> content;
        bool writing = false;
    };

    static std::string Parent(const std::string& path);
    bool HasChildren(const std::string& path) const;
    std::uint64_t UsedLocked() const;

    std::mutex mutex_;  // guards everything below
    std::map<std::string, Node> nodes_;
    std::map<std::uint64_t, OpenFile> open_;
    std::uint64_t nextHandle_ = 1;
    std::uint64_t capacity_ = std::uint64_t(1) << 32;
};

}  // namespace dav
