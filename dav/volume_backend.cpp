#include "dav/volume_backend.h"

#include <fcntl.h>

#include <cerrno>

#include "catalog/drive_cache_dir.h"
#include "catalog/drive_times.h"
#include "catalog/journal.h"
#include "mailbox/open.h"
#include "mount/file_cache.h"
#include "platform/local_file.h"

namespace dav {
namespace {

Entry EntryOf(const std::string& name, const mount::Attr& attr) {
    Entry entry;
    entry.name = name;
    entry.directory = attr.directory;
    entry.size = attr.directory ? 0 : attr.size;
    entry.modifiedNs = attr.modifiedNs;
    return entry;
}

std::string BaseName(const std::string& path) {
    return path == "/" ? "" : path.substr(path.rfind('/') + 1);
}

}  // namespace

struct VolumeBackend::Parts {
    platform::LocalFile lock;
    std::unique_ptr<catalog::Journal> journal;
    std::unique_ptr<mount::FileCache> cache;
    std::unique_ptr<catalog::Times> times;
    std::unique_ptr<catalog::StorePool> pool;
    std::unique_ptr<mount::Volume> volume;
    ~Parts() {
        if (volume) volume->Stop();
        volume.reset();
    }
};

Status StatusOfErrno(int negativeErrno) {
    switch (-negativeErrno) {
    case 0: return Status::Ok;
    case ENOENT: return Status::NotFound;
    case EEXIST: return Status::Exists;
    case ENOTDIR: return Status::NotDirectory;
    case EISDIR: return Status::IsDirectory;
    case ENOTEMPTY: return Status::NotEmpty;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG: return Status::NoSpace;
    case EACCES:
    case EPERM:
    case EROFS:
    case EXDEV:
    case EINVAL: return Status::Denied;
    default: return Status::Failed;
    }
}

std::unique_ptr<VolumeBackend> VolumeBackend::Open(const VolumeBackendOptions& options, const std::string& password,
                                                   std::string& error) {
    std::unique_ptr<catalog::MailStore> store;
    catalog::Outcome opened = mailbox::OpenMailbox(options.mailbox, password, store);
    if (!opened.Ok()) {
        error = "could not open the mailbox: " + opened.Text();
        return nullptr;
    }
    const mailbox::MailboxOptions reopen = options.mailbox;
    auto pool = std::make_unique<catalog::StorePool>(std::move(store), options.connections,
                                                     [reopen, password](std::unique_ptr<catalog::MailStore>& again) {
                                                         return mailbox::OpenMailbox(reopen, password, again);
                                                     });
    catalog::StorePool& shared = *pool;
    std::unique_ptr<VolumeBackend> backend = OnPool(options, shared, error);
    if (backend) backend->parts_->pool = std::move(pool);
    return backend;
}

std::unique_ptr<VolumeBackend> VolumeBackend::OnPool(const VolumeBackendOptions& options, catalog::StorePool& pool,
                                                     std::string& error) {
    std::unique_ptr<VolumeBackend> backend(new VolumeBackend);
    backend->parts_.reset(new Parts);
    Parts& parts = *backend->parts_;
    // Only a new, empty or marked directory: the drive clears what it keeps there.
    if (!catalog::ClaimCacheDir(options.cacheDir, options.defaultCacheDir, error)) return nullptr;
    // One server or mount per cache directory: two would store one journal twice.
    std::string problem;
    const std::filesystem::path lock = options.cacheDir / "lock";
    if ((!parts.lock.OpenExisting(lock, problem) && !parts.lock.CreateNew(lock, 0600, problem)) ||
        !parts.lock.TryLock()) {
        error = options.cacheDir.string() + " is in use by another vantlo-dav or vantlo-mount (or cannot be made)";
        return nullptr;
    }
    parts.journal.reset(new catalog::Journal(options.cacheDir / "pending"));
    parts.cache.reset(new mount::FileCache(options.cacheDir / "files", options.cacheSize));
    parts.times.reset(new catalog::Times(options.cacheDir / "times"));
    if (!parts.journal->Open() || !parts.cache->Open()) {
        error = "cannot write under " + options.cacheDir.string();
        return nullptr;
    }
    parts.times->Load();
    mount::VolumeOptions volume = options.volume;
    volume.manifestFile = options.cacheDir / "manifests";
    volume.openedDir = options.cacheDir / "opened";
    parts.volume.reset(new mount::Volume(pool, *parts.journal, *parts.cache, *parts.times, volume));
    parts.volume->Start();
    backend->volume_ = parts.volume.get();
    return backend;
}

VolumeBackend::~VolumeBackend() = default;

Status VolumeBackend::GetAttr(const std::string& path, Entry& entry) {
    mount::Attr attr;
    Status status = StatusOfErrno(volume_->GetAttr(path, attr));
    if (status == Status::Ok) entry = EntryOf(BaseName(path), attr);
    return status;
}

Status VolumeBackend::ReadDir(const std::string& path, std::vector<Entry>& entries) {
    std::vector<mount::DirEntry> listed;
    Status status = StatusOfErrno(volume_->ReadDir(path, listed));
    entries.clear();
    for (const mount::DirEntry& member : listed)
        if (member.name != "." && member.name != "..") entries.push_back(EntryOf(member.name, member.attr));
    return status;
}

Status VolumeBackend::MakeDir(const std::string& path) {
    return StatusOfErrno(volume_->MakeDir(path));
}
Status VolumeBackend::RemoveDir(const std::string& path) {
    return StatusOfErrno(volume_->RemoveDir(path));
}
Status VolumeBackend::Unlink(const std::string& path) {
    return StatusOfErrno(volume_->Unlink(path));
}

Status VolumeBackend::Rename(const std::string& from, const std::string& to, bool replace) {
    return StatusOfErrno(volume_->Rename(from, to, !replace));
}

Status VolumeBackend::Create(const std::string& path, std::uint64_t& handle) {
    return StatusOfErrno(volume_->Create(path, handle));
}

Status VolumeBackend::Open(const std::string& path, std::uint64_t& handle) {
    return StatusOfErrno(volume_->Open(path, O_RDONLY, handle));
}

Status VolumeBackend::Read(std::uint64_t handle, char* buffer, std::size_t size, std::uint64_t offset,
                           std::size_t& got) {
    int read = volume_->Read(handle, buffer, size, offset);
    if (read < 0) return StatusOfErrno(read);
    got = static_cast<std::size_t>(read);
    return Status::Ok;
}

Status VolumeBackend::Write(std::uint64_t handle, const char* buffer, std::size_t size, std::uint64_t offset) {
    while (size) {
        int written = volume_->Write(handle, buffer, size, offset);
        if (written <= 0) return written < 0 ? StatusOfErrno(written) : Status::Failed;
        buffer += written;
        size -= static_cast<std::size_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return Status::Ok;
}

Status VolumeBackend::Release(std::uint64_t handle) {
    return StatusOfErrno(volume_->Release(handle));
}

Status VolumeBackend::SetModified(const std::string& path, std::int64_t modifiedNs) {
    return StatusOfErrno(volume_->SetTimes(path, modifiedNs));
}

}  // namespace dav
