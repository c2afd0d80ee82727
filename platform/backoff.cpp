#include "platform/backoff.h"

#include <algorithm>

namespace platform {

int BackoffPauseMs(int firstMs, int longestMs, int failures) {
    long long pause = std::max(1, firstMs);
    const long long longest = std::max<long long>(pause, longestMs);
    for (int i = 0; i < failures && pause < longest; ++i) pause *= 2;
    return static_cast<int>(std::min(pause, longest));
}

Backoff::Backoff(const BackoffPlan& plan, StopToken stop)
    : plan_(plan),
      stop_(std::move(stop)),
      deadline_(Clock::now() + std::chrono::milliseconds(std::max(0, plan.boundMs))),
      nextMs_(std::max(1, plan.firstMs)),
      random_(std::random_device{}()) {}

bool Backoff::Wait() {
    if (stop_.StopRequested()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    if (left <= 0) return false;
    int pause = nextMs_;
    if (plan_.jitter) pause -= std::uniform_int_distribution<int>(0, pause / 2)(random_);
    pause = static_cast<int>(std::min<long long>(pause, left));
    nextMs_ = BackoffPauseMs(nextMs_, plan_.longestMs, 1);
    if (!stop_.SleepFor(std::chrono::milliseconds(pause))) return false;
    waitedMs_ += pause;
    return true;
}

}  // namespace platform
