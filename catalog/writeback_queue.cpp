#include "catalog/writeback_queue.h"

#include <algorithm>

#include "platform/backoff.h"

namespace catalog {

using Clock = std::chrono::steady_clock;

WritebackQueue::WritebackQueue(std::mutex& guard, Journal& journal, StoreRunner run, WritebackSettings settings,
                               Stored stored)
    : guard_(guard),
      journal_(journal),
      run_(std::move(run)),
      settings_(std::move(settings)),
      stored_(std::move(stored)) {}

WritebackQueue::~WritebackQueue() {
    Stop();
}

std::vector<WritebackQueue::EntryPtr> WritebackQueue::Resume(
    const std::function<EntryPtr(const PendingStore&)>& adopt) {
    std::vector<EntryPtr> resumed;
    for (const PendingStore& record : journal_.Load()) {
        EntryPtr entry = adopt(record);
        if (!entry) continue;
        entry->record = record;
        entry->saved = entry->generation;
        resumed.push_back(entry);
    }
    Lock lock(guard_);
    for (const EntryPtr& entry : resumed) Queue(entry, 0);
    return resumed;
}

void WritebackQueue::Start() {
    {
        Lock lock(guard_);
        stop_ = platform::StopSource();
    }
    for (unsigned i = 0; i < std::max(1u, settings_.workers); ++i) workers_.emplace_back([this] { Worker(); });
}

void WritebackQueue::Stop() {
    {
        Lock lock(guard_);
        stop_.RequestStop();
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
}

void WritebackQueue::Queue(const EntryPtr& entry, int delayMs) {
    if (!entry->damage.empty()) return;
    entry->queued = true;
    entry->notBefore = Clock::now() + std::chrono::milliseconds(delayMs);
    if (std::find(due_.begin(), due_.end(), entry) == due_.end()) due_.push_back(entry);
    changed_.notify_all();
}

// The entry is saved under the guard, so that the journal never goes back to an older name.
bool WritebackQueue::SaveAndQueue(const EntryPtr& entry, int delayMs) {
    if (!entry->damage.empty()) return false;
    bool kept = journal_.Save(entry->record);
    if (!kept) {
        entry->lastFailure = Failure(StoreCode::LocalFile, "the journal could not keep " + entry->record.name);
        if (settings_.log) settings_.log(entry->lastFailure.detail);
    }
    entry->saved = entry->generation;
    Queue(entry, delayMs);
    return kept;
}

Outcome WritebackQueue::WaitStored(const EntryPtr& entry) {
    Lock lock(guard_);
    const std::uint64_t target = entry->generation, attempts = entry->attempts;
    if (entry->generation != entry->saved)
        SaveAndQueue(entry, 0);
    else if (entry->queued)
        entry->notBefore = Clock::now();
    changed_.notify_all();
    // An attempt that succeeded for an earlier generation (the file changed
    // while it was stored) is queued again: only a failed one ends the wait.
    const bool settled = changed_.wait_for(lock, std::chrono::milliseconds(settings_.longestWaitMs), [&] {
        return entry->storedGeneration >= target || (entry->attempts > attempts && !entry->lastFailure.Ok()) ||
               entry->removed || stop_.StopRequested();
    });
    if (entry->storedGeneration >= target || entry->removed) return Success();
    if (settled && !entry->lastFailure.Ok()) return entry->lastFailure;
    return Failure(StoreCode::TimedOut, entry->record.name + " is not stored yet");
}

void WritebackQueue::Worker() {
    Lock lock(guard_);
    while (!stop_.StopRequested()) {
        EntryPtr next;
        Clock::time_point wake = Clock::now() + std::chrono::seconds(60);
        // Entries taken back (removed, damaged) leave the queue here.
        due_.erase(std::remove_if(due_.begin(), due_.end(),
                                  [](const EntryPtr& entry) { return entry->removed || !entry->queued; }),
                   due_.end());
        for (const EntryPtr& entry : due_) {
            if (entry->storing) continue;
            if (entry->notBefore <= Clock::now()) {
                next = entry;
                break;
            }
            wake = std::min(wake, entry->notBefore);
        }
        if (!next) {
            changed_.wait_until(lock, wake);
            continue;
        }
        // Taken under the guard, so that no other worker takes it too.
        next->storing = true;
        next->queued = false;
        due_.erase(std::find(due_.begin(), due_.end(), next));
        StoreOne(lock, next);
    }
}

void WritebackQueue::StoreOne(Lock& lock, const EntryPtr& entry) {
    const std::uint64_t generation = entry->generation;
    PendingStore record = entry->record;
    const platform::StopToken stop = stop_.Token();
    lock.unlock();
    StoredFile stored;
    // Nothing is run twice here: a lost connection ends the attempt, and
    // the next one (after its pause) finds what this one stored.
    Outcome outcome = settings_.attempt ? settings_.attempt(record, platform::KeepGoingUntil(stop), stored)
                                        : StoreOnce(run_, journal_, record, settings_.partSize,
                                                    platform::KeepGoingUntil(stop), settings_.parallelParts, stored);
    lock.lock();
    entry->storing = false;
    ++entry->attempts;
    if (outcome.Ok()) {
        entry->failures = 0;
        entry->lastFailure = Success();
        stored_(lock, entry, generation, stored);
        if (!lock.owns_lock()) lock.lock();
        changed_.notify_all();
        return;
    }
    // Keep the upload id, so that the next attempt finds what this one stored.
    if (entry->record.name == record.name && entry->record.folderId == record.folderId) {
        entry->record.partSize = record.partSize;
        entry->record.uploadId = record.uploadId;
        entry->record.sha256 = record.sha256;
        entry->record.stored = record.stored;
    }
    changed_.notify_all();
    if (stop_.StopRequested()) return;
    if (entry->removed) {
        // Removed meanwhile: nothing is to be stored any more, and what it
        // replaced goes as after a store of nothing (waiting for it would
        // wait for ever, as it is never queued again).
        stored_(lock, entry, generation, StoredFile{});
        if (!lock.owns_lock()) lock.lock();
        changed_.notify_all();
        return;
    }
    // The file changed while this attempt stored it (which may be why it
    // failed): the failure was an older version's, so a wait for the
    // present one goes on until the next attempt.
    entry->lastFailure = entry->generation == generation ? outcome : Success();
    Queue(entry, platform::BackoffPauseMs(settings_.firstRetryMs, settings_.longestRetryMs, entry->failures++));
    if (settings_.log) {
        const std::string line = "storing " + record.name + " failed (tried again later): " + outcome.Text();
        lock.unlock();
        settings_.log(line);
        lock.lock();
    }
}

}  // namespace catalog
