// The write-back: files closed on a drive (the mount, the WebDAV server)
// wait here, each journalled, until a worker has stored it; a failed store
// is tried again after a doubling pause (platform/backoff) and the journal
// keeps its upload id, so the next attempt sends only the missing parts.
// What a finished store means to the drive's view (the old mails to the
// trash, the listing, the read cache) is the owner's: it is told through
// the Stored callback.
//
// Threads: the owner's mutex (`guard`) guards every entry's fields; the
// owner changes them under it and calls Queue/SaveAndQueue with it held.
// The workers started here are the write-back's only threads; a store in
// flight is cut short by Stop() through one stop token and stays in the
// journal.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "catalog/journal.h"
#include "catalog/writeback_store.h"
#include "platform/stop_token.h"

namespace catalog {

struct WritebackSettings {
    std::uint64_t partSize = kDefaultPartSize;
    unsigned workers = 2;
    unsigned parallelParts = 3;                   // parts of one file sent at once
    int firstRetryMs = 1000;                      // a failed store is tried again after this, doubling...
    int longestRetryMs = 60000;                   // ...up to this
    int longestWaitMs = 3600 * 1000;              // the longest WaitStored waits
    std::function<void(const std::string&)> log;  // a failed attempt, in words
    // How one attempt stores an entry's record (its upload id kept in it):
    // StoreOnce unless the owner has more to do first (a vault seals).
    std::function<Outcome(PendingStore& record, const std::function<bool()>& keepGoing, StoredFile& stored)> attempt;
};

// One file on its way; a drive derives its own (open handles, local copy).
struct WritebackEntry {
    virtual ~WritebackEntry() = default;
    PendingStore record;
    std::uint64_t generation = 1;  // grows with every change
    std::uint64_t saved = 0;       // the generation the journal holds
    std::uint64_t storedGeneration = 0;
    std::uint64_t attempts = 0;
    bool queued = false, storing = false, removed = false;
    std::string damage;  // why the local copy cannot be trusted: never stored then
    std::chrono::steady_clock::time_point notBefore;
    int failures = 0;     // in a row
    Outcome lastFailure;  // of the latest attempt
};

class WritebackQueue {
public:
    using Lock = std::unique_lock<std::mutex>;
    using EntryPtr = std::shared_ptr<WritebackEntry>;
    // An attempt stored `generation` of the entry; called with the guard
    // held through `lock`, which the callee may give up.
    using Stored =
        std::function<void(Lock& lock, const EntryPtr& entry, std::uint64_t generation, const StoredFile& stored)>;

    WritebackQueue(std::mutex& guard, Journal& journal, StoreRunner run, WritebackSettings settings, Stored stored);
    ~WritebackQueue();
    WritebackQueue(const WritebackQueue&) = delete;
    WritebackQueue& operator=(const WritebackQueue&) = delete;

    // The journal's entries, each made into an entry by `adopt` (null
    // skips it) and queued at once. Guard not held.
    std::vector<EntryPtr> Resume(const std::function<EntryPtr(const PendingStore&)>& adopt);
    void Start();
    void Stop();

    // Guard held. Queue: due after `delayMs`. SaveAndQueue: the journal
    // first takes the entry's present record (a damaged entry is never
    // queued); false when the journal could not.
    void Queue(const EntryPtr& entry, int delayMs);
    bool SaveAndQueue(const EntryPtr& entry, int delayMs);
    // Wakes WaitStored and the workers after a change made under the guard.
    void Changed() { changed_.notify_all(); }

    // Guard not held: stores the entry's present generation now and waits
    // (bounded) until it is stored, an attempt failed, it was removed or
    // the queue stops.
    Outcome WaitStored(const EntryPtr& entry);

private:
    void Worker();
    void StoreOne(Lock& lock, const EntryPtr& entry);

    std::mutex& guard_;
    Journal& journal_;
    StoreRunner run_;
    WritebackSettings settings_;
    Stored stored_;
    std::condition_variable changed_;
    std::vector<EntryPtr> due_;  // queued entries (guard)
    platform::StopSource stop_;
    std::vector<std::thread> workers_;
};

}  // namespace catalog
