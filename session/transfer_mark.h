// The transfer fields of the Session (idle flag, bytes done, total), kept
// by the upload and download routines for whoever polls the session. A
// TransferMark marks one transfer as running for its lifetime and puts the
// flag back to 1 and both counts back to 0 on every exit, however the
// transfer ends. Also the low-speed bound of a transfer (SpeedGuard).
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
// moved. A transfer that falls silent must end on this bound too, not only
// on the (longer) idle bound: its waits are capped by WaitLeftMs.
class SpeedGuard {
public:
    explicit SpeedGuard(const ExchangeLimits& limits) : limits_(limits), windowStart_(Clock::now()) {}
    // How long the next wait for the peer may last before the bound is
    // broken: to the end of this window, or of the next one when this
    // window has already moved enough.
    int WaitLeftMs() const {
        auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - windowStart_).count();
        long long windows = moved_ < static_cast<std::uint64_t>(limits_.speedLimitBytes) ? 1 : 2;
        long long left = windows * limits_.speedTimeMs - elapsed;
        return static_cast<int>(left < 1 ? 1 : left);
    }
    // A wait that ran out: whether it was this bound that ended it.
    bool Broken() { return !Moved(0); }
    // Counts bytes that moved; false when the transfer is too slow.
    bool Moved(std::uint64_t bytes) {
        moved_ += bytes;
        const Clock::time_point now = Clock::now();
        const std::chrono::milliseconds window(limits_.speedTimeMs);
        // Whole windows that passed since the last count; a silent one after
        // a busy one breaks the bound as well.
        while (now - windowStart_ >= window) {
            if (moved_ < static_cast<std::uint64_t>(limits_.speedLimitBytes)) return false;
            windowStart_ += window;
            moved_ = 0;
        }
        return true;
    }

private:
    using Clock = std::chrono::steady_clock;
    const ExchangeLimits& limits_;
    Clock::time_point windowStart_;
    std::uint64_t moved_ = 0;
};

}  // namespace session
