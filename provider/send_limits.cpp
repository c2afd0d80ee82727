#include "send_limits.h"

#include <algorithm>
#include <chrono>

namespace provider {

namespace {

constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;

}  // namespace

std::int64_t SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Fault SendLimiter::Take(const std::string& account, std::int64_t nowMs) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::deque<std::int64_t>& taken = taken_[account];
    // Only as far back as a quota looks.
    const std::int64_t keepMs = std::max(limits_.daily >= 0 ? kDayMs : 0, limits_.shortSeconds * 1000);
    while (!taken.empty() && nowMs - taken.front() >= keepMs) taken.pop_front();
    auto within = [&](std::int64_t windowMs) {
        return static_cast<std::int64_t>(
            std::count_if(taken.begin(), taken.end(), [&](std::int64_t at) { return nowMs - at < windowMs; }));
    };
    if (limits_.daily >= 0 && within(kDayMs) >= limits_.daily) return Fault::DailySendQuota;
    if (limits_.shortCount >= 0 && within(limits_.shortSeconds * 1000) >= limits_.shortCount)
        return Fault::ShortSendQuota;
    taken.push_back(nowMs);
    return Fault::None;
}

}  // namespace provider
