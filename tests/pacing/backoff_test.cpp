// The one retry pacing and the one stop token: doubling without overflow,
// the bound that ends the retries, jitter within its half, and a stop that
// cuts a long pause short.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/backoff.h"
#include "platform/stop_token.h"

namespace {

using platform::Backoff;
using platform::BackoffPlan;
using Clock = std::chrono::steady_clock;

TEST(Backoff, PausesDoubleUpToTheLongestWithoutOverflow) {
    // first, longest, failures, expected pause
    const std::tuple<int, int, int, int> cases[] = {
        {100, 3000, 0, 100},  {100, 3000, 1, 200},   {100, 3000, 4, 1600},
        {100, 3000, 5, 3000}, {100, 3000, 40, 3000}, {1000, 2000000000, 31, 2000000000},
        {0, 0, 0, 1},         {5000, 1000, 3, 5000}, {-7, 50, 10, 50},
    };
    for (const auto& [first, longest, failures, expected] : cases)
        EXPECT_EQ(platform::BackoffPauseMs(first, longest, failures), expected)
            << first << " " << longest << " " << failures;
}

TEST(Backoff, TheBoundEndsTheRetriesAndJitterStaysWithinHalf) {
    struct Case {
        BackoffPlan plan;
        int leastWaits, mostWaits;  // Wait() calls that return true
        int leastMs, mostMs;        // all pauses together
    };
    // A loaded machine oversleeps: the last pause may be cut, never the bound passed.
    const Case cases[] = {
        {{10, 40, 100, false}, 3, 4, 70, 100},   // 10 + 20 + 40 + what is left
        {{50, 50, 0, false}, 0, 0, 0, 0},        // no time at all: no pause
        {{40, 40, 10000, true}, 3, 3, 60, 120},  // three waits asked of a long bound
    };
    for (const Case& c : cases) {
        Backoff backoff(c.plan);
        int waits = 0;
        while (waits < 3 || !c.plan.jitter) {
            if (!backoff.Wait()) break;
            ++waits;
            ASSERT_LT(waits, 50) << "the bound never ended the retries";
        }
        EXPECT_GE(waits, c.leastWaits) << c.plan.firstMs;
        EXPECT_LE(waits, c.mostWaits) << c.plan.firstMs;
        EXPECT_GE(backoff.WaitedMs(), c.leastMs) << c.plan.firstMs;
        EXPECT_LE(backoff.WaitedMs(), c.mostMs) << c.plan.firstMs;
    }
}

TEST(StopToken, AStopCutsAPauseShortAndEndsEveryLaterOne) {
    platform::StopSource source;
    platform::StopToken token = source.Token();
    auto keepGoing = platform::KeepGoingUntil(token);
    EXPECT_TRUE(keepGoing());
    EXPECT_FALSE(platform::StopToken().StopRequested()) << "a default token never stops";

    Backoff backoff({60000, 60000, 600000, false}, token);
    std::thread asker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        source.RequestStop();
    });
    const Clock::time_point start = Clock::now();
    EXPECT_FALSE(backoff.Wait());
    asker.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20)) << "the pause ran its whole length";
    EXPECT_FALSE(backoff.Wait());
    EXPECT_TRUE(token.StopRequested());
    EXPECT_FALSE(keepGoing());
    EXPECT_FALSE(token.SleepFor(std::chrono::milliseconds(60000)));
}

// Every worker sleeping on one token wakes at the stop, not only the first.
TEST(StopToken, AStopWakesEverySleeper) {
    platform::StopSource source;
    std::atomic<int> woken{0};
    std::vector<std::thread> sleepers;
    for (int i = 0; i < 3; ++i)
        sleepers.emplace_back(
            [&, token = source.Token()] { woken += token.SleepFor(std::chrono::seconds(30)) ? 0 : 1; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const Clock::time_point start = Clock::now();
    source.RequestStop();
    for (std::thread& sleeper : sleepers) sleeper.join();
    EXPECT_EQ(woken, 3);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20)) << "a sleeper ran its whole pause";
}

}  // namespace
