// Parts of several files moved side by side: a pool of N workers, each on a
// store of its own (Fork(): its own connection and compose session); the
// first worker uses the caller's store. A failing file stops its own parts
// only; the daily sending limit, an unreachable mailbox or a cancel stop
// everything.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "catalog/catalog.h"

namespace catalog {

// Gets a part's bytes moved so far; returns false to cancel.
using Moved = std::function<bool(std::uint64_t bytes)>;

// One part's work, on whichever worker's store takes it.
struct Unit {
    std::size_t file = 0;
    std::function<Outcome(MailStore& store, const Moved& moved)> run;
};

bool StopsEverything(StoreCode code);
Outcome FirstFailure(const std::vector<Outcome>& outcomes);

// Runs units on up to N workers and adds up their bytes for the progress
// callback, which it calls under a lock (from whichever worker moved).
class Pool {
public:
    Pool(TransferProgress::Phase phase, std::uint64_t total, std::uint64_t done, const ProgressCallback& progress)
        : phase_(phase), total_(total), done_(done), progress_(progress) {}

    // failures[unit.file] gets the first failure of each file; a file that
    // failed runs no further units.
    void Run(MailStore& store, unsigned transfers, const std::vector<Unit>& units, std::vector<Outcome>& failures);

private:
    bool Report();

    const TransferProgress::Phase phase_;
    const std::uint64_t total_;
    std::atomic<std::uint64_t> done_;
    const ProgressCallback& progress_;
    std::mutex lock_, reportLock_;
    std::atomic<bool> stopped_{false};
    Outcome stopOutcome_;
};

}  // namespace catalog
