#include "mount/volume.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "catalog/file_sizes.h"
#include "catalog/format_values.h"
#include "catalog/part_mark.h"
#include "mount/errno_map.h"
#include "mount/log.h"
#include "mount/names.h"
#include "mount/store_once.h"
#include "platform/backoff.h"

namespace mount {

namespace fs = std::filesystem;
using catalog::Outcome;
using Clock = std::chrono::steady_clock;
using Lock = std::unique_lock<std::mutex>;

namespace {

constexpr std::size_t kCopyChunk = 1 << 20;

std::int64_t Nanoseconds(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t NowNanoseconds() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

bool Writes(int flags) {
    return (flags & O_ACCMODE) != O_RDONLY || (flags & O_TRUNC);
}

catalog::DownloadPlan PlanOf(const StoredFile& stored) {
    catalog::DownloadPlan plan;
    plan.name = stored.plan.name;
    plan.size = stored.plan.size;
    plan.sha256 = stored.plan.sha256;
    const auto parts = static_cast<std::uint32_t>(stored.plan.parts.size());
    for (std::size_t i = 0; i < stored.plan.parts.size() && i < stored.mailIds.size(); ++i) {
        const catalog::UploadPart& part = stored.plan.parts[i];
        plan.parts.push_back({part.number, parts, stored.mailIds[i], part.offset, part.size, part.sha256});
    }
    return plan;
}

}  // namespace

Volume::Volume(StorePool& pool, Journal& journal, FileCache& cache, Times& times, VolumeOptions options)
    : pool_(pool), journal_(journal), cache_(cache), times_(times), options_(options) {}

Volume::~Volume() {
    Stop();
}

Volume::Pending::~Pending() {
    if (fd >= 0) ::close(fd);
}

void Volume::Start() {
    {
        Lock lock(mutex_);
        for (PendingStore& record : journal_.Load()) {
            auto pending = std::make_shared<Pending>();
            pending->record = record;
            pending->fd = ::open(journal_.DataPath(record).c_str(), O_RDWR | O_CLOEXEC);
            if (pending->fd < 0) continue;
            pending->saved = pending->generation;
            pending->queued = true;
            pending->notBefore = Clock::now();
            pending_.push_back(pending);
            Log("resuming the store of " + record.name);
        }
        ++viewEpoch_;
        stopping_ = false;
    }
    for (unsigned i = 0; i < std::max(1u, options_.storeWorkers); ++i) workers_.emplace_back([this] { Worker(); });
}

void Volume::Stop() {
    {
        Lock lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
    cache_.WaitPrefetches();  // they use the pool
}

Volume::Path Volume::Split(const std::string& path) {
    Path split;
    if (path.empty() || path[0] != '/') return split.depth = -1, split;
    std::string rest = path.substr(1);
    if (rest.empty()) return split;
    std::string::size_type slash = rest.find('/');
    split.folder = rest.substr(0, slash);
    if (slash == std::string::npos) return split.depth = 1, split;
    split.name = rest.substr(slash + 1);
    split.depth = split.name.empty() || split.name.find('/') != std::string::npos ? -1 : 2;
    return split;
}

int Volume::LogFailure(const char* what, const std::string& path, const Outcome& outcome) {
    int error = ErrnoOf(outcome);
    if (WorthLogging(outcome))
        Log(std::string(what) + " " + path + ": " + outcome.Text());
    return -error;
}

int Volume::Folders(std::map<std::string, catalog::FolderInfo>& folders, bool fresh) {
    {
        Lock lock(mutex_);
        if (!fresh && foldersLoaded_ && Clock::now() - foldersAt_ < std::chrono::milliseconds(options_.dirCacheMs)) {
            folders = folders_;
            return 0;
        }
    }
    std::vector<catalog::FolderInfo> listed;
    Outcome outcome = pool_.Run([&](catalog::MailStore& store) { return store.ListFolders(listed); });
    if (!outcome.Ok()) return LogFailure("listing", "/", outcome);
    std::vector<Named> names;
    for (const catalog::FolderInfo& folder : listed) names.push_back({folder.name, folder.id});
    std::vector<std::string> shown = UniqueNames(names);
    folders.clear();
    for (std::size_t i = 0; i < listed.size(); ++i) folders[shown[i]] = listed[i];
    Lock lock(mutex_);
    folders_ = folders;
    foldersAt_ = Clock::now();
    foldersLoaded_ = true;
    return 0;
}

int Volume::FolderId(const std::string& shown, std::string& id) {
    std::map<std::string, catalog::FolderInfo> folders;
    int error = Folders(folders);
    if (error) return error;
    auto found = folders.find(shown);
    if (found == folders.end()) return -ENOENT;
    id = found->second.id;
    return 0;
}

int Volume::RefreshListing(const std::string& folderId) {
    std::uint64_t reading = 0;
    {
        Lock lock(mutex_);
        reading = ++listings_[folderId].readingsBegun;
    }
    std::vector<catalog::FileEntry> files;
    Outcome outcome = pool_.Run([&](catalog::MailStore& store) {
        Outcome listed = catalog::ListFiles(store, folderId, files);
        if (!listed.Ok()) return listed;
        std::lock_guard<std::mutex> lock(manifestsMutex_);
        return catalog::FillFileSizes(store, manifests_, files, 1);
    });
    if (!outcome.Ok()) return LogFailure("listing folder", folderId, outcome);
    Lock lock(mutex_);
    Listing& listing = listings_[folderId];
    if (reading < listing.shownReading) return 0;  // a later reading is shown already
    listing.shownReading = reading;
    listing.loaded = true;
    listing.at = Clock::now();
    listing.files = std::move(files);
    listing.viewEpoch = 0;
    listing.view.clear();
    return 0;
}

int Volume::EnsureListing(const std::string& folderId) {
    {
        Lock lock(mutex_);
        auto found = listings_.find(folderId);
        if (found != listings_.end() && found->second.loaded &&
            Clock::now() - found->second.at < std::chrono::milliseconds(options_.dirCacheMs))
            return 0;
    }
    return RefreshListing(folderId);
}

const std::map<std::string, Volume::Node>& Volume::View(const std::string& folderId) {
    Listing& listing = listings_[folderId];
    if (listing.viewEpoch == viewEpoch_) return listing.view;
    std::set<std::string> hidden = hidden_;
    for (const auto& pending : pending_) hidden.insert(pending->record.replaces.begin(), pending->record.replaces.end());
    std::vector<const catalog::FileEntry*> shownFiles;
    std::vector<Named> names;
    for (const catalog::FileEntry& file : listing.files) {
        std::vector<std::string> ids = file.MailIds();
        if (std::any_of(ids.begin(), ids.end(), [&](const std::string& id) { return hidden.count(id) > 0; }))
            continue;
        shownFiles.push_back(&file);
        names.push_back({file.name, file.key});
    }
    std::vector<std::string> shown = UniqueNames(names);
    listing.view.clear();
    for (std::size_t i = 0; i < shown.size(); ++i) listing.view[shown[i]].file = shownFiles[i];
    for (const auto& pending : pending_)
        if (pending->record.folderId == folderId && !pending->removed) listing.view[pending->record.name] = {nullptr, pending};
    listing.viewEpoch = viewEpoch_;
    return listing.view;
}

int Volume::Lookup(const Path& path, std::string& folderId, Node& node, catalog::FileEntry& file) {
    if (path.depth != 2) return -ENOENT;
    int error = FolderId(path.folder, folderId);
    if (!error) error = EnsureListing(folderId);
    if (error) return error;
    Lock lock(mutex_);
    const auto& view = View(folderId);
    auto found = view.find(path.name);
    if (found == view.end()) return -ENOENT;
    node = found->second;
    if (node.file) file = *node.file;
    node.file = node.file ? &file : nullptr;
    return 0;
}

void Volume::FillStat(const Node& node, struct stat& st) {
    st = {};
    st.st_mode = S_IFREG | 0644;
    st.st_nlink = 1;
    st.st_uid = ::getuid();
    st.st_gid = ::getgid();
    st.st_blksize = 4096;
    if (node.pending) {
        struct stat local;
        if (::fstat(node.pending->fd, &local) == 0) {
            st.st_size = local.st_size;
            st.st_mtim = local.st_mtim;
        }
        if (node.pending->record.modifiedNs) {
            st.st_mtim.tv_sec = node.pending->record.modifiedNs / 1000000000;
            st.st_mtim.tv_nsec = node.pending->record.modifiedNs % 1000000000;
        }
    } else if (node.file) {
        st.st_size = static_cast<off_t>(node.file->sizeKnown ? node.file->size : 0);
        std::int64_t ns = times_.Find(node.file->key, static_cast<std::uint64_t>(st.st_size));
        if (!ns) ns = node.file->storedAt * 1000000000;
        st.st_mtim.tv_sec = ns / 1000000000;
        st.st_mtim.tv_nsec = ns % 1000000000;
    }
    st.st_ctim = st.st_atim = st.st_mtim;
    st.st_blocks = (st.st_size + 511) / 512;
}

int Volume::GetAttr(const std::string& path, struct stat& st) {
    Path split = Split(path);
    if (split.depth < 0) return -ENOENT;
    if (split.depth < 2) {
        std::string id;
        if (split.depth == 1) {
            int error = FolderId(split.folder, id);
            if (error) return error;
        }
        st = {};
        st.st_mode = S_IFDIR | 0755;
        st.st_nlink = 2;
        st.st_uid = ::getuid();
        st.st_gid = ::getgid();
        return 0;
    }
    std::string folderId;
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (!error) {
        Lock lock(mutex_);
        FillStat(node, st);
    }
    return error;
}

int Volume::ReadDir(const std::string& path, std::vector<DirEntry>& entries) {
    Path split = Split(path);
    entries.clear();
    if (split.depth == 0) {
        std::map<std::string, catalog::FolderInfo> folders;
        int error = Folders(folders);
        if (error) return error;
        for (auto& [name, info] : folders) {
            DirEntry entry{name, {}};
            entry.st.st_mode = S_IFDIR | 0755;
            entries.push_back(entry);
        }
        return 0;
    }
    if (split.depth != 1) return -ENOTDIR;
    std::string folderId;
    int error = FolderId(split.folder, folderId);
    if (!error) error = EnsureListing(folderId);
    if (error) return error;
    Lock lock(mutex_);
    for (auto& [name, node] : View(folderId)) {
        DirEntry entry{name, {}};
        FillStat(node, entry.st);
        entries.push_back(entry);
    }
    return 0;
}

int Volume::MakeDir(const std::string& path) {
    Path split = Split(path);
    if (split.depth != 1) return split.depth == 2 ? -EPERM : -EEXIST;
    std::string id;
    if (FolderId(split.folder, id) == 0) return -EEXIST;
    Outcome outcome = pool_.Run([&](catalog::MailStore& store) { return store.CreateFolder(split.folder, id); }, false);
    std::map<std::string, catalog::FolderInfo> folders;
    Folders(folders, true);
    return outcome.Ok() ? 0 : LogFailure("making folder", path, outcome);
}

int Volume::RemoveDir(const std::string& path) {
    Path split = Split(path);
    if (split.depth != 1) return split.depth == 2 ? -ENOTDIR : -EBUSY;
    std::map<std::string, catalog::FolderInfo> folders;
    int error = Folders(folders);
    if (error) return error;
    auto found = folders.find(split.folder);
    if (found == folders.end()) return -ENOENT;
    if (found->second.system) return -EACCES;
    error = RefreshListing(found->second.id);
    if (error) return error;
    {
        Lock lock(mutex_);
        if (!View(found->second.id).empty()) return -ENOTEMPTY;
    }
    Outcome outcome = pool_.Run([&](catalog::MailStore& store) { return store.DeleteFolder(found->second.id); });
    Folders(folders, true);
    return outcome.Ok() ? 0 : LogFailure("removing folder", path, outcome);
}

int Volume::Trash(const std::string& folderId, const std::vector<std::string>& ids) {
    if (ids.empty()) return RefreshListing(folderId);
    {
        Lock lock(mutex_);
        hidden_.insert(ids.begin(), ids.end());
        ++viewEpoch_;
    }
    Outcome outcome = pool_.Run([&](catalog::MailStore& store) { return store.DeleteMails(ids); });
    if (outcome.code == catalog::StoreCode::NotFound) outcome = {};  // gone already
    RefreshListing(folderId);
    Lock lock(mutex_);
    for (const std::string& id : ids) hidden_.erase(id);
    ++viewEpoch_;
    lock.unlock();
    return outcome.Ok() ? 0 : LogFailure("removing", folderId, outcome);
}

void Volume::DropPending(const std::shared_ptr<Pending>& pending) {
    // mutex_ is held by the caller's lock, given up here for the mailbox.
    pending->removed = true;
    ++viewEpoch_;
    if (pending->storing) return;  // the worker finishes the drop
    pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
}

int Volume::Unlink(const std::string& path) {
    Path split = Split(path);
    std::string folderId;
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (error) return error;
    if (!node.pending) {
        times_.Forget(file.key);
        cache_.Forget(file.key);
        return Trash(folderId, file.MailIds());
    }
    Lock lock(mutex_);
    bool storing = node.pending->storing;
    DropPending(node.pending);
    if (storing) return 0;
    // The mails it replaces stay hidden on their way to the trash.
    PendingStore record = node.pending->record;
    hidden_.insert(record.replaces.begin(), record.replaces.end());
    lock.unlock();
    journal_.Remove(record);
    return Trash(record.folderId, record.replaces);
}

std::shared_ptr<Volume::Pending> Volume::NewPending(const std::string& folderId, const std::string& name,
                                                    std::vector<std::string> replaces) {
    auto pending = std::make_shared<Pending>();
    pending->record.id = journal_.NewId();
    pending->record.folderId = folderId;
    pending->record.name = name;
    pending->record.replaces = std::move(replaces);
    std::error_code error;
    fs::create_directories(journal_.DataPath(pending->record).parent_path(), error);
    pending->fd = ::open(journal_.DataPath(pending->record).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (pending->fd < 0) return nullptr;
    return pending;
}

int Volume::FetchWhole(const catalog::FileEntry& file, int fd) {
    Handle handle;
    handle.key = file.key;
    handle.file = file;
    int error = PlanFor(handle);
    if (error) return error;
    std::vector<char> buffer(kCopyChunk);
    for (std::uint64_t offset = 0; offset < handle.plan.size;) {
        std::size_t got = 0;
        Outcome outcome = cache_.Read(
            handle.key, handle.plan, buffer.data(), buffer.size(), offset,
            [&](const catalog::DownloadPart& part, const fs::path& copy) {
                return pool_.Run([&](catalog::MailStore& store) {
                    return catalog::FetchPlannedPart(store, part, copy, nullptr, {});
                });
            },
            got);
        if (!outcome.Ok()) return LogFailure("reading", file.name, outcome);
        if (got == 0 || ::pwrite(fd, buffer.data(), got, static_cast<off_t>(offset)) != static_cast<ssize_t>(got))
            return -EIO;
        offset += got;
    }
    return 0;
}

int Volume::PlanFor(Handle& handle) {
    if (handle.planned) return 0;
    {
        Lock lock(mutex_);
        auto found = plans_.find(handle.key);
        if (found != plans_.end()) {
            handle.plan = found->second;
            handle.planned = true;
            return 0;
        }
    }
    Outcome outcome = pool_.Run(
        [&](catalog::MailStore& store) { return catalog::PlanDownload(store, handle.file, handle.plan); });
    if (!outcome.Ok()) return LogFailure("reading", handle.file.name, outcome);
    handle.planned = true;
    Lock lock(mutex_);
    plans_[handle.key] = handle.plan;
    return 0;
}

int Volume::Create(const std::string& path, std::uint64_t& handle) {
    Path split = Split(path);
    if (split.depth != 2) return split.depth == 1 ? -EISDIR : -EPERM;
    if (!catalog::CheckFileName(split.name).Ok() || catalog::ReadSubject(split.name).kind != catalog::SubjectKind::Plain)
        return -EINVAL;
    std::string folderId;
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (error == 0) return Open(path, O_WRONLY | O_TRUNC, handle);
    if (error != -ENOENT || folderId.empty()) return error;
    auto pending = NewPending(folderId, split.name, {});
    if (!pending) return -EIO;
    Lock lock(mutex_);
    pending->opens = 1;
    pending_.push_back(pending);
    ++viewEpoch_;
    handle = nextHandle_++;
    handles_[handle] = std::make_unique<Handle>(Handle{pending, {}, {}, false, {}});
    return 0;
}

int Volume::Open(const std::string& path, int flags, std::uint64_t& handle) {
    Path split = Split(path);
    std::string folderId;
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (error) return error;
    auto opened = std::make_unique<Handle>();
    if (node.pending) {
        Lock lock(mutex_);
        if (node.pending->removed) return -ENOENT;
        if ((flags & O_TRUNC) && ::ftruncate(node.pending->fd, 0) == 0) {
            ++node.pending->generation;
            node.pending->untouched = false;
        }
        ++node.pending->opens;
        opened->pending = node.pending;
    } else if (!file.Whole()) {
        Log(path + " is incomplete: " + file.Problems());
        return -EIO;
    } else if (!Writes(flags)) {
        opened->key = file.key;
        opened->file = file;
    } else {
        // A stored file opened for writing becomes a pending store that
        // replaces it; its bytes are fetched unless it is cut to nothing.
        auto pending = NewPending(folderId, file.name == split.name ? file.name : split.name, file.MailIds());
        if (!pending) return -EIO;
        if (!(flags & O_TRUNC)) {
            error = FetchWhole(file, pending->fd);
            if (error) {
                journal_.Remove(pending->record);
                                return error;
            }
            pending->untouched = true;
        }
        pending->record.name = split.name;
        pending->record.modifiedNs = times_.Find(file.key, file.size);
        if (!pending->record.modifiedNs) pending->record.modifiedNs = file.storedAt * 1000000000;
        if (flags & O_TRUNC) pending->record.modifiedNs = 0;
        Lock lock(mutex_);
        pending->opens = 1;
        pending_.push_back(pending);
        ++viewEpoch_;
        opened->pending = pending;
    }
    Lock lock(mutex_);
    handle = nextHandle_++;
    handles_[handle] = std::move(opened);
    return 0;
}

int Volume::Read(std::uint64_t id, char* buffer, std::size_t size, std::uint64_t offset) {
    Handle* handle;
    {
        Lock lock(mutex_);
        auto found = handles_.find(id);
        if (found == handles_.end()) return -EBADF;
        handle = found->second.get();
    }
    if (handle->pending) {
        ssize_t got = ::pread(handle->pending->fd, buffer, size, static_cast<off_t>(offset));
        return got < 0 ? -errno : static_cast<int>(got);
    }
    int error = PlanFor(*handle);
    if (error) return error;
    std::size_t got = 0;
    PartFetcher fetch = [this](const catalog::DownloadPart& part, const fs::path& copy) {
        return pool_.Run(
            [&](catalog::MailStore& store) { return catalog::FetchPlannedPart(store, part, copy, nullptr, {}); });
    };
    Outcome outcome = cache_.Read(handle->key, handle->plan, buffer, size, offset, fetch, got);
    if (!outcome.Ok()) return LogFailure("reading", handle->file.name, outcome);
    // Read ahead: the parts after the one this read ended in, on connections of their own.
    const auto& parts = handle->plan.parts;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].offset + parts[i].size < offset + got || parts[i].offset > offset + got) continue;
        for (std::size_t ahead = 1; ahead <= options_.readAheadParts; ++ahead)
            cache_.Prefetch(handle->key, handle->plan, i + ahead, fetch, options_.readAheadParts);
        break;
    }
    return static_cast<int>(got);
}

int Volume::Write(std::uint64_t id, const char* buffer, std::size_t size, std::uint64_t offset) {
    std::shared_ptr<Pending> pending;
    {
        Lock lock(mutex_);
        auto found = handles_.find(id);
        if (found == handles_.end() || !found->second->pending) return -EBADF;
        pending = found->second->pending;
        ++pending->generation;
        pending->untouched = false;
        pending->record.modifiedNs = 0;
    }
    ssize_t written = ::pwrite(pending->fd, buffer, size, static_cast<off_t>(offset));
    return written < 0 ? -errno : static_cast<int>(written);
}

int Volume::TruncateOpen(std::uint64_t id, std::uint64_t size) {
    Lock lock(mutex_);
    auto found = handles_.find(id);
    if (found == handles_.end() || !found->second->pending) return -EBADF;
    std::shared_ptr<Pending> pending = found->second->pending;
    ++pending->generation;
    pending->untouched = false;
    pending->record.modifiedNs = 0;
    return ::ftruncate(pending->fd, static_cast<off_t>(size)) == 0 ? 0 : -errno;
}

int Volume::Truncate(const std::string& path, std::uint64_t size) {
    std::uint64_t handle = 0;
    int error = Open(path, size == 0 ? O_WRONLY | O_TRUNC : O_WRONLY, handle);
    if (error) return error;
    error = TruncateOpen(handle, size);
    int released = Release(handle);
    return error ? error : released;
}

int Volume::SetTimes(const std::string& path, const struct timespec* times) {
    Path split = Split(path);
    if (split.depth < 2) return split.depth < 0 ? -ENOENT : 0;  // folders keep no times
    std::string folderId;
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (error) return error;
    const struct timespec& modified = times[1];
    if (modified.tv_nsec == UTIME_OMIT) return 0;
    std::int64_t ns = modified.tv_nsec == UTIME_NOW ? NowNanoseconds() : Nanoseconds(modified);
    if (node.pending) {
        Lock lock(mutex_);
        node.pending->record.modifiedNs = ns;
        return 0;
    }
    times_.Set(file.key, file.sizeKnown ? file.size : 0, ns);
    return 0;
}

void Volume::Queue(const std::shared_ptr<Pending>& pending, int delayMs) {
    pending->queued = true;
    pending->notBefore = Clock::now() + std::chrono::milliseconds(delayMs);
    changed_.notify_all();
}

// mutex_ held; the journal entry is written under it so that an entry
// never goes back to an older name.
void Volume::SaveAndQueue(const std::shared_ptr<Pending>& pending, int delayMs) {
    if (!journal_.Save(pending->record)) {
        Log("the journal could not keep " + pending->record.name);
        pending->lastErrno = EIO;
    }
    pending->saved = pending->generation;
    Queue(pending, delayMs);
}

int Volume::Release(std::uint64_t id) {
    Lock lock(mutex_);
    auto found = handles_.find(id);
    if (found == handles_.end()) return -EBADF;
    std::shared_ptr<Pending> pending = found->second->pending;
    handles_.erase(found);
    if (!pending || --pending->opens > 0 || pending->removed) return 0;
    if (pending->untouched) {
        // Opened for writing, never written: the stored file stands.
        DropPending(pending);
        PendingStore record = pending->record;
        lock.unlock();
                journal_.Remove(record);
        return 0;
    }
    if (pending->generation != pending->saved) {
        SaveAndQueue(pending, options_.settleMs);
    } else if (pending->storedGeneration == pending->generation && !pending->storing) {
        // Stored while it was open and not changed since: done.
        PendingStore record = pending->record;
        lock.unlock();
        RefreshListing(record.folderId);
        lock.lock();
        if (pending->opens == 0 && pending->storedGeneration == pending->generation) {
            pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
            ++viewEpoch_;
            lock.unlock();
            journal_.Remove(record);
        }
    }
    return 0;
}

int Volume::WaitStored(const std::shared_ptr<Pending>& pending) {
    Lock lock(mutex_);
    const std::uint64_t target = pending->generation, attempts = pending->attempts;
    if (pending->generation != pending->saved) SaveAndQueue(pending, 0);
    else if (pending->queued) pending->notBefore = Clock::now();
    changed_.notify_all();
    bool settled = changed_.wait_for(lock, std::chrono::milliseconds(options_.longestSyncWaitMs), [&] {
        return pending->storedGeneration >= target || pending->attempts > attempts || pending->removed || stopping_;
    });
    if (pending->storedGeneration >= target || pending->removed) return 0;
    return settled && pending->lastErrno ? -pending->lastErrno : -EIO;
}

int Volume::Fsync(std::uint64_t id) {
    std::shared_ptr<Pending> pending;
    {
        Lock lock(mutex_);
        auto found = handles_.find(id);
        if (found == handles_.end()) return -EBADF;
        pending = found->second->pending;
    }
    if (!pending) return 0;
    if (::fsync(pending->fd) != 0) return -errno;
    return WaitStored(pending);
}

int Volume::GetXattr(const std::string& path, const std::string& name, std::string& value) {
    Path split = Split(path);
    if (split.depth != 2) return split.depth < 0 ? -ENOENT : -ENODATA;
    std::string folderId;
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (error) return error;
    Lock lock(mutex_);
    if (name == "user.vantlo.state") {
        if (node.pending) value = node.pending->lastErrno && !node.pending->storing ? "failed" : "pending";
        else value = file.Whole() ? "stored" : "incomplete";
        return 0;
    }
    if (name == "user.vantlo.key" && !node.pending) {
        value = file.key;
        return 0;
    }
    return -ENODATA;
}

int Volume::Rename(const std::string& from, const std::string& to, bool noReplace) {
    Path source = Split(from), target = Split(to);
    if (source.depth == 1 && target.depth == 1) {
        std::map<std::string, catalog::FolderInfo> folders;
        int error = Folders(folders);
        if (error) return error;
        auto found = folders.find(source.folder);
        if (found == folders.end()) return -ENOENT;
        if (source.folder == target.folder) return 0;
        if (folders.count(target.folder)) return noReplace ? -EEXIST : -ENOTEMPTY;
        if (found->second.system) return -EACCES;
        {
            // An IMAP folder's id is its name: stores on their way into it wait for it.
            Lock lock(mutex_);
            for (const auto& pending : pending_)
                if (pending->record.folderId == found->second.id) return -EBUSY;
        }
        Outcome outcome = pool_.Run(
            [&](catalog::MailStore& store) { return store.RenameFolder(found->second.id, target.folder); });
        Folders(folders, true);
        return outcome.Ok() ? 0 : LogFailure("renaming folder", from, outcome);
    }
    if (source.depth != 2 || target.depth != 2) return source.depth == 2 || target.depth == 2 ? -EPERM : -EINVAL;
    if (!catalog::CheckFileName(target.name).Ok() ||
        catalog::ReadSubject(target.name).kind != catalog::SubjectKind::Plain)
        return -EINVAL;

    std::string sourceFolder, targetFolder;
    Node node, existing;
    catalog::FileEntry file, replaced;
    int error = Lookup(source, sourceFolder, node, file);
    if (error) return error;
    if (from == to) return 0;
    error = Lookup(target, targetFolder, existing, replaced);
    if (error && error != -ENOENT) return error;
    bool targetExists = error == 0;
    if (targetExists && noReplace) return -EEXIST;
    std::vector<std::string> replacedIds;
    if (targetExists && existing.file) replacedIds = replaced.MailIds();

    if (node.pending) {
        Lock lock(mutex_);
        if (targetExists && existing.pending) DropPending(existing.pending);
        std::shared_ptr<Pending> pending = node.pending;
        fs::path before = journal_.DataPath(pending->record);
        pending->record.folderId = targetFolder;
        pending->record.name = target.name;
        pending->record.replaces.insert(pending->record.replaces.end(), replacedIds.begin(), replacedIds.end());
        std::error_code renameError;
        fs::rename(before, journal_.DataPath(pending->record), renameError);
        ++pending->generation;
        ++viewEpoch_;
        if (pending->opens == 0) SaveAndQueue(pending, options_.settleMs);
        return 0;
    }
    if (!file.Whole()) return -EIO;
    if (file.name == target.name && sourceFolder != targetFolder) {
        // The same name elsewhere: the mails move as they are.
        Outcome outcome =
            pool_.Run([&](catalog::MailStore& store) { return store.MoveMails(file.MailIds(), targetFolder); });
        if (!outcome.Ok()) return LogFailure("moving", from, outcome);
        if (targetExists && existing.pending) {
            Lock lock(mutex_);
            DropPending(existing.pending);
        }
        RefreshListing(sourceFolder);
        return replacedIds.empty() ? RefreshListing(targetFolder) : Trash(targetFolder, replacedIds);
    }
    // A subject cannot change: the file is stored again under its new name,
    // and its mails go once that is done. Until then the new name reads
    // from the local copy and the old one is gone.
    auto pending = NewPending(targetFolder, target.name, file.MailIds());
    if (!pending) return -EIO;
    error = FetchWhole(file, pending->fd);
    if (error) {
                journal_.Remove(pending->record);
        return error;
    }
    pending->record.replaces.insert(pending->record.replaces.end(), replacedIds.begin(), replacedIds.end());
    pending->record.modifiedNs = times_.Find(file.key, file.size);
    if (!pending->record.modifiedNs) pending->record.modifiedNs = file.storedAt * 1000000000;
    Lock lock(mutex_);
    if (targetExists && existing.pending) DropPending(existing.pending);
    pending_.push_back(pending);
    ++viewEpoch_;
    SaveAndQueue(pending, 0);
    return 0;
}

void Volume::Worker() {
    Lock lock(mutex_);
    while (!stopping_) {
        std::shared_ptr<Pending> next;
        Clock::time_point wake = Clock::now() + std::chrono::seconds(60);
        for (const auto& pending : pending_) {
            if (!pending->queued || pending->storing) continue;
            if (pending->notBefore <= Clock::now()) {
                next = pending;
                break;
            }
            wake = std::min(wake, pending->notBefore);
        }
        if (!next) {
            changed_.wait_until(lock, wake);
            continue;
        }
        // Taken under the lock, so that no other worker takes it too.
        next->storing = true;
        next->queued = false;
        lock.unlock();
        StoreOne(next);
        lock.lock();
    }
}

void Volume::StoreOne(const std::shared_ptr<Pending>& pending) {
    Lock lock(mutex_);
    const std::uint64_t generation = pending->generation;
    PendingStore record = pending->record;
    lock.unlock();

    StoredFile stored;
    Outcome outcome;
    // Nothing is run twice here: a lost connection ends the attempt, and
    // the next one (after its pause) finds what this one stored.
    outcome = StoreOnce([this](const auto& work) { return pool_.Run(work, false); }, journal_, record,
                        options_.partSize, [this] { return !stopping_; }, options_.parallelParts, stored);
    lock.lock();
    pending->storing = false;
    ++pending->attempts;
    if (!outcome.Ok()) {
        // Keep the upload id, so that the next attempt finds what this one stored.
        if (pending->record.name == record.name && pending->record.folderId == record.folderId) {
            pending->record.partSize = record.partSize;
            pending->record.uploadId = record.uploadId;
            pending->record.sha256 = record.sha256;
            pending->record.stored = record.stored;
        }
        if (stopping_) return;
        pending->lastErrno = ErrnoOf(outcome) ? ErrnoOf(outcome) : EIO;
        Queue(pending, platform::BackoffPauseMs(options_.firstRetryMs, options_.longestRetryMs, pending->failures++));
        lock.unlock();
        Log("storing " + record.name + " failed (tried again later): " + outcome.Text());
        changed_.notify_all();
        return;
    }
    pending->failures = 0;
    pending->lastErrno = 0;
    if (pending->removed || pending->generation != generation) {
        // Changed, renamed or removed while it was stored: what was stored
        // goes with the rest of what it replaces.
        pending->record.replaces.insert(pending->record.replaces.end(), stored.mailIds.begin(), stored.mailIds.end());
        pending->record.uploadId.clear();
        if (!pending->removed) {
            if (pending->opens == 0) SaveAndQueue(pending, 0);
            return;
        }
        pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
        ++viewEpoch_;
        PendingStore gone = pending->record;
        hidden_.insert(gone.replaces.begin(), gone.replaces.end());
        lock.unlock();
                journal_.Remove(gone);
        Trash(gone.folderId, gone.replaces);
        changed_.notify_all();
        return;
    }
    const std::vector<std::string> replaces = pending->record.replaces;
    hidden_.insert(replaces.begin(), replaces.end());
    if (pending->opens > 0) {
        // Stored while still open (fsync): it stays here until closed, and
        // what was just stored is what a further change replaces.
        pending->record.replaces = stored.mailIds;
        pending->record.uploadId.clear();
        pending->storedGeneration = generation;
        journal_.Save(pending->record);
        lock.unlock();
        Trash(record.folderId, replaces);
        changed_.notify_all();
        return;
    }
    lock.unlock();

    Trash(record.folderId, replaces);  // refreshes the folder's listing as well
    const std::string key = stored.mailIds.empty() ? "" : stored.mailIds.front();
    lock.lock();
    std::int64_t modified = pending->record.modifiedNs;
    struct stat local;
    if (!modified && ::fstat(pending->fd, &local) == 0) modified = Nanoseconds(local.st_mtim);
    pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
    pending->storedGeneration = generation;
    ++viewEpoch_;
    lock.unlock();
    times_.Set(key, stored.plan.size, modified);
        cache_.Adopt(key, PlanOf(stored), journal_.DataPath(record));
    journal_.Remove(record);
    changed_.notify_all();
}

}  // namespace mount
