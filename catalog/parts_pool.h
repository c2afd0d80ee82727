// The parts engine: units of work (parts of several files moved side by
// side, a listing's pages, the manifests of its files) on a pool of N
// workers, each on a store of its own (Fork(): its own connection and
// compose session); the first worker uses the caller's store. A failing file stops its own parts
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

// Gets a part's bytes moved so far.
using Moved = std::function<void(std::uint64_t bytes)>;

// One part's work, on whichever worker's store takes it; it ends with
// Cancelled soon after `stop` is asked.
struct Unit {
    std::size_t file = 0;
    std::function<Outcome(MailStore& store, const Moved& moved, const platform::StopToken& stop)> run;
};

bool StopsEverything(StoreCode code);
Outcome FirstFailure(const std::vector<Outcome>& outcomes);

// Runs units on up to N workers and adds up their bytes for the progress
// callback, which it calls under a lock (from whichever worker moved). The
// units hear the pool's own stop: asked by the caller's `stop`, or by an
// outcome that stops everything.
class Pool {
public:
    Pool(TransferProgress::Phase phase, std::uint64_t total, std::uint64_t done, const ProgressCallback& progress,
         platform::StopToken stop)
        : phase_(phase), total_(total), done_(done), progress_(progress), callerStop_(std::move(stop)) {}

    // failures[unit.file] gets the first failure of each file; a file that
    // failed runs no further units.
    void Run(MailStore& store, unsigned transfers, const std::vector<Unit>& units, std::vector<Outcome>& failures);

private:
    void Report();
    // Stops every unit with `outcome`; the first one asked wins.
    void Stop(const Outcome& outcome);
    // Whether the pool stopped, passing a stop the caller asked on to the units.
    bool Stopped();

    const TransferProgress::Phase phase_;
    const std::uint64_t total_;
    std::atomic<std::uint64_t> done_;
    const ProgressCallback& progress_;
    const platform::StopToken callerStop_;
    std::mutex lock_, reportLock_;
    platform::StopSource stop_;
    Outcome stopOutcome_;  // guarded by lock_
};

}  // namespace catalog
