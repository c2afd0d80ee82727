// The write-back: closed files queued, stored by the workers, retried
// after a doubling pause, and their journal entries kept in step.
#include "mount/volume.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "catalog/drive_file.h"
#include "catalog/file_sizes.h"
#include "catalog/format_values.h"
#include "catalog/part_mark.h"
#include "mount/errno_map.h"
#include "mount/log.h"
#include "catalog/drive_names.h"
#include "catalog/writeback_store.h"
#include "mount/volume_detail.h"
#include "platform/backoff.h"

namespace mount {

void Volume::Queue(const std::shared_ptr<Pending>& pending, int delayMs) {
    pending->queued = true;
    pending->notBefore = Clock::now() + std::chrono::milliseconds(delayMs);
    changed_.notify_all();
}

// mutex_ held; the journal entry is written under it so that an entry
// never goes back to an older name.
void Volume::SaveAndQueue(const std::shared_ptr<Pending>& pending, int delayMs) {
    if (!pending->damage.empty()) return;  // never stored
    if (!journal_.Save(pending->record)) {
        Log("the journal could not keep " + pending->record.name);
        pending->lastErrno = EIO;
    }
    pending->saved = pending->generation;
    Queue(pending, delayMs);
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
    catalog::PendingStore record = pending->record;
    lock.unlock();

    catalog::StoredFile stored;
    Outcome outcome;
    // Nothing is run twice here: a lost connection ends the attempt, and
    // the next one (after its pause) finds what this one stored.
    outcome = catalog::StoreOnce([this](const auto& work) { return pool_.Run(work, false); }, journal_, record,
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
        catalog::PendingStore gone = pending->record;
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
    if (pending->removed || pending->generation != generation || pending->opens > 0) {
        // Opened, changed or removed while its old mails went: what was
        // just stored is what comes next replaces.
        pending->record.replaces = stored.mailIds;
        pending->record.uploadId.clear();
        pending->storedGeneration = generation;
        if (pending->removed) {
            pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
            ++viewEpoch_;
            lock.unlock();
            journal_.Remove(pending->record);
            Trash(record.folderId, stored.mailIds);
        } else if (pending->opens == 0) {
            SaveAndQueue(pending, 0);
        } else {
            journal_.Save(pending->record);
        }
        changed_.notify_all();
        return;
    }
    std::int64_t modified = pending->record.modifiedNs;
    struct stat local;
    if (!modified && ::fstat(pending->fd, &local) == 0) modified = Nanoseconds(local.st_mtim);
    pending->finished = true;
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
