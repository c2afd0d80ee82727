// The one pacing of retries: pauses from a first one, doubling up to a
// longest, each optionally shortened by a random fraction of up to half (so
// that parallel workers hit by the same limit spread out), and no pause
// begun once the whole bound has passed since the first try. A pause ends
// early when its stop token is asked to stop.
#pragma once

#include <chrono>
#include <random>

#include "platform/stop_token.h"

namespace platform {

struct BackoffPlan {
    int firstMs = 100;
    int longestMs = 3000;
    // Time from the Backoff's start after which it pauses no more.
    int boundMs = 60000;
    bool jitter = false;
};

// The pause after `failures` failures in a row (0: the first pause), without
// jitter: for a scheduler that queues the retry instead of sleeping.
int BackoffPauseMs(int firstMs, int longestMs, int failures);

class Backoff {
public:
    explicit Backoff(const BackoffPlan& plan, StopToken stop = {});

    // Pauses before the next try, cut to what is left of the bound. False,
    // without pausing further, when the bound is spent or a stop was asked.
    bool Wait();
    // All pauses so far.
    int WaitedMs() const { return waitedMs_; }

private:
    using Clock = std::chrono::steady_clock;
    BackoffPlan plan_;
    StopToken stop_;
    Clock::time_point deadline_;
    int nextMs_;
    int waitedMs_ = 0;
    std::minstd_rand random_;
};

}  // namespace platform
