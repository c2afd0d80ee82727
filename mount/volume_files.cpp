// Files opened through the volume: stored files read part by part, and
// files written into a local copy that the write-back stores once closed.
#include "mount/volume.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "catalog/drive_file.h"
#include "catalog/drive_names.h"
#include "catalog/file_sizes.h"
#include "catalog/format_values.h"
#include "catalog/part_mark.h"
#include "catalog/writeback_store.h"
#include "mount/errno_map.h"
#include "mount/log.h"
#include "mount/volume_detail.h"

namespace mount {

std::shared_ptr<Volume::Pending> Volume::NewPending(const std::string& folderId, const std::string& name,
                                                    std::vector<std::string> replaces) {
    auto pending = std::make_shared<Pending>();
    pending->record.id = journal_.NewId();
    pending->record.folderId = folderId;
    pending->record.name = name;
    pending->record.replaces = std::move(replaces);
    const fs::path data = journal_.DataPath(pending->record);
    std::error_code error;
    fs::create_directories(data.parent_path(), error);
    fs::remove(data, error);  // a new id: anything there is a leftover
    std::string problem;
    if (!pending->file.CreateNew(data, 0600, problem)) return nullptr;
    return pending;
}

int Volume::FetchWhole(const catalog::FileEntry& file, platform::LocalFile& into) {
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
        if (got == 0 || !into.WriteAt(offset, buffer.data(), got)) return -EIO;
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
    Outcome outcome =
        pool_.Run([&](catalog::MailStore& store) { return catalog::PlanDownload(store, handle.file, handle.plan); });
    if (outcome.Ok() && ImpossibleSize(handle.plan.size, handle.file))
        outcome = catalog::Failure(catalog::StoreCode::Corrupt, "its manifest gives a size its mails cannot hold: " +
                                                                    std::to_string(handle.plan.size));
    if (!outcome.Ok()) return LogFailure("reading", handle.file.name, outcome);
    handle.planned = true;
    Lock lock(mutex_);
    plans_[handle.key] = handle.plan;
    return 0;
}

int Volume::Create(const std::string& path, std::uint64_t& handle) {
    Path split = Split(path);
    std::string existingFolder;
    if (split.depth >= 1 && FolderId(split.full, existingFolder) == 0) return -EISDIR;
    if (split.depth < 2) return -EPERM;  // the root holds folders only
    if (!catalog::CheckFileName(split.name).Ok() ||
        catalog::ReadSubject(split.name).kind != catalog::SubjectKind::Plain)
        return -EINVAL;
    std::string folderId;
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (error == 0) return Open(path, O_WRONLY | O_TRUNC, handle);
    if (error != -ENOENT || folderId.empty()) return error;
    if (int refused = RefuseInVault(folderId, true)) return refused;
    auto pending = NewPending(folderId, split.name, {});
    if (!pending) return -EIO;
    Lock lock(mutex_);
    pending->opens = 1;
    pending_.push_back(pending);
    ++viewEpoch_;
    handle = nextHandle_++;
    auto opened = std::make_unique<Handle>();
    opened->pending = pending;
    handles_[handle] = std::move(opened);
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
    const bool vault = !node.pending && RefuseInVault(folderId) != 0;
    // A vault's stored file is written anew whole (its bytes are sealed
    // with its name), and read from a plain copy opened whole.
    if (vault && Writes(flags) && (!(flags & O_TRUNC) || RefuseInVault(folderId, true))) return -EACCES;
    if (vault && !Writes(flags)) {
        if (int failed = OpenVaultFile(folderId, file, *opened)) return failed;
    } else if (node.pending) {
        Lock lock(mutex_);
        if (node.pending->removed) return -ENOENT;
        if (node.pending->finished) {
            lock.unlock();
            return Open(path, flags, handle);  // stored meanwhile: the stored file now
        }
        if ((flags & O_TRUNC) && node.pending->file.Resize(0)) {
            ++node.pending->generation;
            node.pending->untouched = false;
            node.pending->filled = true;
            node.pending->damage.clear();  // written anew from here
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
        // replaces it under its stored name (a duplicate's mark is only
        // how it is shown); its bytes are fetched once a write needs them.
        auto pending = NewPending(folderId, file.name, file.MailIds());
        if (!pending) return -EIO;
        pending->source = file;
        const bool cut = (flags & O_TRUNC) != 0;
        pending->untouched = !cut;
        pending->filled = cut;
        pending->record.modifiedNs = times_.Find(file.key, ShownSize(file));
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
    if (handle->opened) {
        std::size_t got = 0;
        return handle->opened->ReadAt(offset, buffer, size, got) ? static_cast<int>(got) : -EIO;
    }
    if (handle->pending) {
        if (int error = Fill(handle->pending)) return error;
        std::size_t got = 0;
        return handle->pending->file.ReadAt(offset, buffer, size, got) ? static_cast<int>(got) : -EIO;
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
    }
    if (int error = Fill(pending)) return error;
    {
        Lock lock(mutex_);
        ++pending->generation;
        pending->untouched = false;
        pending->record.modifiedNs = 0;
    }
    if (pending->file.WriteAt(offset, buffer, size)) return static_cast<int>(size);
    const int error = platform::LocalFile::LastErrno();
    Damage(pending, error);
    return -error;
}

int Volume::TruncateOpen(std::uint64_t id, std::uint64_t size) {
    std::shared_ptr<Pending> pending;
    {
        Lock lock(mutex_);
        auto found = handles_.find(id);
        if (found == handles_.end() || !found->second->pending) return -EBADF;
        pending = found->second->pending;
        if (size == 0 && !pending->filled) pending->filled = true;  // nothing of the stored bytes stays
    }
    if (int error = Fill(pending)) return error;
    Lock lock(mutex_);
    ++pending->generation;
    pending->untouched = false;
    pending->record.modifiedNs = 0;
    if (pending->file.Resize(size)) {
        if (size == 0) pending->damage.clear();  // written anew from here
        return 0;
    }
    const int error = platform::LocalFile::LastErrno();
    lock.unlock();
    Damage(pending, error);
    return -error;
}

int Volume::Truncate(const std::string& path, std::uint64_t size) {
    std::uint64_t handle = 0;
    int error = Open(path, size == 0 ? O_WRONLY | O_TRUNC : O_WRONLY, handle);
    if (error) return error;
    error = TruncateOpen(handle, size);
    int flushed = Flush(handle);
    int released = Release(handle);
    return error ? error : flushed ? flushed : released;
}

int Volume::Fill(const std::shared_ptr<Pending>& pending) {
    std::lock_guard<std::mutex> filling(pending->filling);
    catalog::FileEntry source;
    {
        Lock lock(mutex_);
        if (pending->filled) return 0;
        source = pending->source;
    }
    int error = FetchWhole(source, pending->file);
    if (error) return error;
    Lock lock(mutex_);
    pending->filled = true;
    return 0;
}

void Volume::Damage(const std::shared_ptr<Pending>& pending, int error) {
    Lock lock(mutex_);
    if (!pending->damage.empty()) return;
    pending->queued = false;
    pending->damage =
        std::string("a write into the cache directory failed (") + std::strerror(error) + "); write the file again";
    // What the journal holds is no longer what the file was: a later
    // mount must not store it either.
    catalog::PendingStore record = pending->record;
    const std::string why = pending->damage;
    lock.unlock();
    journal_.Withdraw(record);
    Log("not storing " + record.name + ": " + why);
}

int Volume::Flush(std::uint64_t id) {
    Lock lock(mutex_);
    auto found = handles_.find(id);
    if (found == handles_.end()) return -EBADF;
    std::shared_ptr<Pending> pending = found->second->pending;
    if (!pending || pending->removed) return 0;
    if (pending->untouched) {
        if (!pending->timeSet) return 0;
        const std::string key = pending->source.key;
        const std::uint64_t size = ShownSize(pending->source);
        const std::int64_t ns = pending->record.modifiedNs;
        lock.unlock();
        times_.Set(key, size, ns);
        return 0;
    }
    if (!pending->damage.empty()) return -EIO;
    if (pending->generation == pending->saved) return 0;
    if (!journal_.Save(pending->record)) {
        Log("the journal could not keep " + pending->record.name);
        return -EIO;
    }
    pending->saved = pending->generation;
    return 0;
}

int Volume::Release(std::uint64_t id) {
    Lock lock(mutex_);
    auto found = handles_.find(id);
    if (found == handles_.end()) return -EBADF;
    std::shared_ptr<Pending> pending = found->second->pending;
    if (found->second->opened) {
        // The plain copy of a vault's file lives only while it is open.
        found->second->opened->Close();
        std::error_code error;
        fs::remove(found->second->openedPath, error);
    }
    handles_.erase(found);
    if (!pending || --pending->opens > 0 || pending->removed) return 0;
    if (pending->untouched) {
        // Opened for writing, never written: the stored file stands, with
        // the time set meanwhile.
        DropPending(pending);
        catalog::PendingStore record = pending->record;
        const catalog::FileEntry source = pending->source;
        const bool timeSet = pending->timeSet;
        lock.unlock();
        if (timeSet) times_.Set(source.key, ShownSize(source), record.modifiedNs);
        journal_.Remove(record);
        return 0;
    }
    if (!pending->damage.empty()) return 0;  // shown as failed until written anew or removed
    if (pending->generation != pending->saved) {
        queue_.SaveAndQueue(pending, SettleMs(pending->record.name));
    } else if (pending->storedGeneration == pending->generation && !pending->storing) {
        // Stored while it was open and not changed since: done. The
        // listing took it when it was stored, unless it could not (a vault).
        catalog::PendingStore record = pending->record;
        if (!Listed(record.folderId, record.replaces)) {
            lock.unlock();
            RefreshListing(record.folderId);
            lock.lock();
        }
        if (pending->opens == 0 && pending->storedGeneration == pending->generation) {
            pending->finished = true;
            pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
            ++viewEpoch_;
            lock.unlock();
            journal_.Remove(record);
        }
    } else if (!pending->queued && !pending->storing) {
        queue_.Queue(pending, SettleMs(pending->record.name));  // journalled at flush already
    }
    return 0;
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
    {
        Lock lock(mutex_);
        if (pending->untouched) return 0;  // nothing of it changed
        if (!pending->damage.empty()) return -EIO;
    }
    if (!pending->file.Sync()) return -EIO;
    catalog::Outcome outcome = queue_.WaitStored(pending);
    return outcome.Ok() ? 0 : -(ErrnoOf(outcome) ? ErrnoOf(outcome) : EIO);
}

}  // namespace mount
