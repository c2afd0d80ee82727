// Changes to a file by its path: removal, its time, renames and moves.
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
    if (!error) error = RefuseInVault(folderId, true);
    if (error) return error;
    if (!node.pending) {
        times_.Forget(file.key);
        cache_.Forget(file.key);
        return Trash(folderId, file.MailIds());
    }
    Lock lock(mutex_);
    if (node.pending->finished) {
        lock.unlock();
        return Unlink(path);  // stored meanwhile: the stored file now
    }
    bool storing = node.pending->storing;
    DropPending(node.pending);
    if (storing) return 0;
    // The mails it replaces stay hidden on their way to the trash.
    catalog::PendingStore record = node.pending->record;
    hidden_.insert(record.replaces.begin(), record.replaces.end());
    lock.unlock();
    journal_.Remove(record);
    return Trash(record.folderId, record.replaces);
}

int Volume::SetTimes(const std::string& path, std::optional<std::int64_t> modifiedNs) {
    Path split = Split(path);
    std::string folderId;
    if (split.depth < 2 || FolderId(split.full, folderId) == 0)
        return split.depth < 0 ? -ENOENT : 0;  // folders keep no times
    Node node;
    catalog::FileEntry file;
    int error = Lookup(split, folderId, node, file);
    if (!error && modifiedNs) error = RefuseInVault(folderId, true);
    if (error) return error;
    if (!modifiedNs) return 0;
    const std::int64_t ns = *modifiedNs;
    if (node.pending) {
        Lock lock(mutex_);
        if (node.pending->finished) {
            lock.unlock();
            return SetTimes(path, modifiedNs);  // stored meanwhile: the stored file now
        }
        Pending& pending = *node.pending;
        pending.record.modifiedNs = ns;
        pending.timeSet = pending.untouched;
        // A closed file's journal entry carries its time too.
        if (!pending.untouched && pending.damage.empty() && pending.opens == 0 && pending.saved == pending.generation)
            journal_.Save(pending.record);
        return 0;
    }
    times_.Set(file.key, ShownSize(file), ns);
    return 0;
}

int Volume::Rename(const std::string& from, const std::string& to, bool noReplace) {
    Path source = Split(from), target = Split(to);
    if (source.depth < 0 || target.depth < 0) return -ENOENT;
    std::string folderId;
    if (source.depth >= 1 && FolderId(source.full, folderId) == 0) return RenameFolder(source, target, noReplace);
    if (source.depth < 2 || target.depth < 2) return -EPERM;  // the root holds folders only
    if (FolderId(target.full, folderId) == 0) return -EISDIR;
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
    // In a vault a name is sealed with the bytes: only a file not stored
    // yet takes a new name there (an editor's or rsync's temporary file),
    // and nothing moves in or out.
    const bool sameOpenedVault = node.pending && sourceFolder == targetFolder && !RefuseInVault(sourceFolder, true);
    if (!sameOpenedVault) {
        if (int refused = RefuseInVault(sourceFolder)) return refused;
        if (int refused = RefuseInVault(targetFolder)) return refused;
    }
    bool targetExists = error == 0;
    if (targetExists && noReplace) return -EEXIST;
    std::vector<std::string> replacedIds;
    if (targetExists && existing.file) replacedIds = replaced.MailIds();

    if (node.pending) {
        if (int filled = Fill(node.pending)) return filled;
        Lock lock(mutex_);
        if (node.pending->finished) {
            lock.unlock();
            return Rename(from, to, noReplace);  // stored meanwhile: the stored file now
        }
        if (targetExists && existing.pending) DropPending(existing.pending);
        std::shared_ptr<Pending> pending = node.pending;
        pending->untouched = false;  // stored again under its new name
        fs::path before = journal_.DataPath(pending->record);
        pending->record.folderId = targetFolder;
        pending->record.name = target.name;
        pending->record.replaces.insert(pending->record.replaces.end(), replacedIds.begin(), replacedIds.end());
        std::error_code renameError;
        fs::rename(before, journal_.DataPath(pending->record), renameError);
        ++pending->generation;
        ++viewEpoch_;
        if (pending->opens == 0) queue_.SaveAndQueue(pending, SettleMs(pending->record.name));
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
    error = FetchWhole(file, pending->file);
    if (error) {
        journal_.Remove(pending->record);
        return error;
    }
    pending->record.replaces.insert(pending->record.replaces.end(), replacedIds.begin(), replacedIds.end());
    pending->record.modifiedNs = times_.Find(file.key, ShownSize(file));
    if (!pending->record.modifiedNs) pending->record.modifiedNs = file.storedAt * 1000000000;
    Lock lock(mutex_);
    if (targetExists && existing.pending) DropPending(existing.pending);
    pending_.push_back(pending);
    ++viewEpoch_;
    queue_.SaveAndQueue(pending, 0);
    return 0;
}

}  // namespace mount
