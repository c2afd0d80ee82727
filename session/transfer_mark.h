// The transfer fields of the Session that the progress display polls. A
// TransferMark marks one transfer as running for its lifetime and puts the
// flag back to 1 and both counts back to 0 on every exit, however the
// transfer ends.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>

#include "session/session.h"

namespace session {

// Counts are 32-bit; a count that would pass the largest value stays there.
inline std::int32_t ClampCount(std::uint64_t value) {
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(value > kMax ? kMax : value);
}

class TransferMark {
public:
    TransferMark(std::atomic<std::uint8_t>& idle, std::atomic<std::int32_t>& done, std::atomic<std::int32_t>& total)
        : idle_(idle), done_(done), total_(total) {
        idle_ = 0;
    }
    ~TransferMark() {
        total_ = 0;
        done_ = 0;
        idle_ = 1;
    }
    TransferMark(const TransferMark&) = delete;
    TransferMark& operator=(const TransferMark&) = delete;

    void SetTotal(std::uint64_t total) { total_ = ClampCount(total); }
    void SetDone(std::uint64_t done) {
        doneValue_ = done;
        done_ = ClampCount(done);
    }
    void AddDone(std::uint64_t more) { SetDone(doneValue_ + more); }
    std::uint64_t Done() const { return doneValue_; }

private:
    std::atomic<std::uint8_t>& idle_;
    std::atomic<std::int32_t>& done_;
    std::atomic<std::int32_t>& total_;
    std::uint64_t doneValue_ = 0;
};

// The low-speed bound of a transfer: it fails once a whole window of
// limits.speedTimeMs has passed in which fewer than limits.speedLimitBytes
// moved. A transfer that moves nothing at all ends sooner, on the idle bound.
class SpeedGuard {
public:
    explicit SpeedGuard(const ExchangeLimits& limits) : limits_(limits), windowStart_(Clock::now()) {}
    // Counts bytes that moved; false when the transfer is too slow.
    bool Moved(std::uint64_t bytes) {
        moved_ += bytes;
        Clock::time_point now = Clock::now();
        if (now - windowStart_ < std::chrono::milliseconds(limits_.speedTimeMs)) return true;
        if (moved_ < static_cast<std::uint64_t>(limits_.speedLimitBytes)) return false;
        windowStart_ = now;
        moved_ = 0;
        return true;
    }

private:
    using Clock = std::chrono::steady_clock;
    const ExchangeLimits& limits_;
    Clock::time_point windowStart_;
    std::uint64_t moved_ = 0;
};

}  // namespace session
