// The provider's sending quotas, as the service in the field enforces
// them: at most `shortCount` deliveries within `shortSeconds`, and at most
// `daily` within any 24 hours, per account. Only deliveries that were
// taken count. Kept in memory: a restart starts the count afresh.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "fault.h"

namespace provider {

struct SendLimits {
    std::int64_t shortCount = -1;  // -1: no short-time quota
    std::int64_t shortSeconds = 0;
    std::int64_t daily = -1;  // -1: no daily quota
};

class SendLimiter {
public:
    explicit SendLimiter(SendLimits limits) : limits_(limits) {}

    // Takes one delivery of `account` at `nowMs` (milliseconds of a steady
    // clock) when both quotas allow it; otherwise the quota's fault, the
    // daily one first, and nothing is counted.
    Fault Take(const std::string& account, std::int64_t nowMs);

private:
    SendLimits limits_;
    std::mutex mutex_;
    std::map<std::string, std::deque<std::int64_t>> taken_;  // per account, oldest first
};

// Milliseconds of the steady clock, for SendLimiter::Take.
std::int64_t SteadyNowMs();

}  // namespace provider
