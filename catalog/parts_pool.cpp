#include "catalog/parts_pool.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>

namespace catalog {

bool StopsEverything(StoreCode code) {
    return code == StoreCode::QuotaDaily || code == StoreCode::Cancelled || code == StoreCode::Unreachable ||
           code == StoreCode::CertificateRefused;
}

Outcome FirstFailure(const std::vector<Outcome>& outcomes) {
    for (const Outcome& outcome : outcomes)
        if (!outcome.Ok()) return outcome;
    return Success();
}

void Pool::Run(MailStore& store, unsigned transfers, const std::vector<Unit>& units, std::vector<Outcome>& failures) {
    std::vector<char> ran(units.size(), 0);
    std::atomic<std::size_t> next{0};
    auto work = [&](MailStore& own) {
        for (std::size_t i; !Stopped() && (i = next++) < units.size();) {
            const Unit& unit = units[i];
            {
                std::lock_guard<std::mutex> lock(lock_);
                ran[i] = 1;
                if (!failures[unit.file].Ok()) continue;
            }
            std::uint64_t last = 0;
            const platform::StopToken stop = stop_.Token();
            Outcome outcome = unit.run(
                own,
                [&](std::uint64_t bytes) {
                    done_ += bytes - last;  // a part sent again starts from 0
                    last = bytes;
                    Report();
                    Stopped();  // passes a stop the caller asked on to the running units
                },
                stop);
            if (outcome.Ok()) continue;
            done_ -= last;
            {
                std::lock_guard<std::mutex> lock(lock_);
                if (failures[unit.file].Ok()) failures[unit.file] = outcome;
            }
            if (StopsEverything(outcome.code)) Stop(outcome);
        }
    };
    std::vector<std::unique_ptr<MailStore>> forks;
    const std::size_t workers = std::min<std::size_t>(std::max(1u, transfers), units.size());
    while (forks.size() + 1 < workers) {
        std::unique_ptr<MailStore> fork;
        if (!store.Fork(fork).Ok() || !fork) break;  // fewer workers, same result
        forks.push_back(std::move(fork));
    }
    std::vector<std::thread> threads;
    for (auto& fork : forks) {
        try {
            threads.emplace_back(work, std::ref(*fork));
        } catch (const std::system_error&) {
            break;
        }
    }
    work(store);
    for (std::thread& thread : threads) thread.join();
    for (std::size_t i = 0; i < units.size(); ++i)
        if (!ran[i] && failures[units[i].file].Ok()) failures[units[i].file] = stopOutcome_;
}

void Pool::Report() {
    if (!progress_) return;
    std::lock_guard<std::mutex> lock(reportLock_);
    progress_({phase_, done_.load(), total_});
}

void Pool::Stop(const Outcome& outcome) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!stop_.StopRequested()) stopOutcome_ = outcome, stop_.RequestStop();
}

bool Pool::Stopped() {
    if (callerStop_.StopRequested()) Stop(Failure(StoreCode::Cancelled, "stopped on request"));
    return stop_.StopRequested();
}

}  // namespace catalog
