// The one way the desktop runs work off the user-interface thread, and the
// one way back.
//
// Work runs on a lane: Lane::Session is one worker thread that takes the
// work in the order it was given (folder list, listings, folder commands,
// moves and deletions), so the mailbox sees the user's requests in the
// user's order, on the one store of that lane (store_source.h);
// Lane::Own is a thread of its own for long work that must not wait behind
// the rest (uploads, downloads, the notice, the sign-in). Results come back
// as tasks posted to the user-interface thread's queue.
//
// Threads are detached: the executor never joins them, so a worker stuck on
// a stalled server cannot hold up the user-interface thread. Everything a
// worker touches it holds by shared ownership.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace app {

using Task = std::function<void()>;
// Queues a task for the user-interface thread; false when it was dropped.
using UiPoster = std::function<bool(Task)>;

enum class Lane { Session, Own };

class Executor {
public:
    explicit Executor(UiPoster postToUi);
    // Work that has not begun is dropped; work that runs goes on.
    ~Executor();
    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    // False (the work dropped) when the system would not start a thread.
    bool Run(Lane lane, Task work);
    const UiPoster& Poster() const { return post_; }
    // Drops the session lane's work that has not begun.
    void Close();
    // Waits until no work runs or waits, at most `bound`; true when idle.
    bool WaitIdle(std::chrono::milliseconds bound);

private:
    struct State;
    // Serves the session lane's queue until it is empty; a later Run starts
    // a new thread.
    static void ServeLane(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
    UiPoster post_;
};

}  // namespace app
