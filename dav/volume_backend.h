// The mailbox as a WebDAV tree: a thin adapter from dav::Backend to the
// drive core the mount uses (mount::Volume: read cache, read-ahead, the
// write-back journal, the listing cache, the mount's names), on Linux and
// Windows alike.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "dav/backend.h"
#include "mailbox/options.h"
#include "mount/volume.h"

namespace dav {

struct VolumeBackendOptions {
    mailbox::MailboxOptions mailbox;
    std::filesystem::path cacheDir;  // this server's copies and journal
    bool defaultCacheDir = false;    // the server's own default path, not one the user named
    std::uint64_t cacheSize = std::uint64_t(1) << 30;
    unsigned connections = 4;
    mount::VolumeOptions volume;
};

class VolumeBackend : public Backend {
public:
    // Opens the mailbox with `password` and starts the write-back; null
    // with `error` set when that fails.
    static std::unique_ptr<VolumeBackend> Open(const VolumeBackendOptions& options, const std::string& password,
                                               std::string& error);
    // Serves through a pool of stores the caller keeps (a program signed in
    // already, e.g. the desktop); options.mailbox is not used. The pool
    // must outlive the backend.
    static std::unique_ptr<VolumeBackend> OnPool(const VolumeBackendOptions& options, catalog::StorePool& pool,
                                                 std::string& error);
    ~VolumeBackend() override;

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

private:
    VolumeBackend() = default;
    struct Parts;
    std::unique_ptr<Parts> parts_;
    mount::Volume* volume_ = nullptr;
};

// From a negative errno of the volume.
Status StatusOfErrno(int negativeErrno);

}  // namespace dav
