// Tasks posted from worker threads run on the user-interface thread, in the
// order they were posted.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "messagelist/ui_thread_post.h"
#include "ui_driver.h"

namespace {

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        wintest::PumpMessages(10);
    }
    return true;
}

TEST(UiThreadPost, WorkerTasksRunOnTheUiThreadInOrder) {
    ASSERT_TRUE(messagelist::PrepareUiThreadMailbox());
    EXPECT_TRUE(messagelist::PrepareUiThreadMailbox()) << "a second call keeps the mailbox";
    EXPECT_TRUE(messagelist::OnUiThread());

    const DWORD uiThread = GetCurrentThreadId();
    std::vector<int> order;
    std::atomic<int> wrongThread{0};
    std::atomic<bool> workerSawUiThread{true};
    std::thread worker([&] {
        workerSawUiThread = messagelist::OnUiThread();
        for (int i = 0; i < 50; ++i)
            EXPECT_TRUE(messagelist::PostToUiThread([&, i] {
                if (GetCurrentThreadId() != uiThread) ++wrongThread;
                order.push_back(i);
            }));
    });
    worker.join();
    EXPECT_FALSE(workerSawUiThread);
    EXPECT_TRUE(order.empty()) << "nothing runs before the queue is served";
    ASSERT_TRUE(PumpUntil([&] { return order.size() == 50; }, 5000));
    EXPECT_EQ(wrongThread.load(), 0);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
}

TEST(UiThreadPost, AnEmptyTaskIsRefused) {
    ASSERT_TRUE(messagelist::PrepareUiThreadMailbox());
    EXPECT_FALSE(messagelist::PostToUiThread(messagelist::UiTask()));
}

}  // namespace
