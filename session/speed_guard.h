// The low-speed bound of an upload or download (SpeedGuard).
#pragma once

#include <chrono>
#include <cstdint>

#include "session/session.h"

namespace session {

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
