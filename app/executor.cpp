#include "app/executor.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace app {

struct Executor::State {
    std::mutex mutex;
    std::condition_variable idle;
    std::deque<Task> queue;   // the session lane's work not yet begun
    bool laneThread = false;  // a thread serves the queue
    bool closed = false;
    int busy = 0;  // work running or waiting

    void Finished() {
        std::lock_guard<std::mutex> lock(mutex);
        if (--busy == 0) idle.notify_all();
    }
};

Executor::Executor(UiPoster postToUi) : state_(std::make_shared<State>()), post_(std::move(postToUi)) {}

Executor::~Executor() {
    Close();
}

void Executor::Close() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->closed = true;
    state_->busy -= static_cast<int>(state_->queue.size());
    state_->queue.clear();
    if (state_->busy == 0) state_->idle.notify_all();
}

bool Executor::Run(Lane lane, Task work) {
    std::shared_ptr<State> state = state_;
    std::unique_lock<std::mutex> lock(state->mutex);
    if (lane == Lane::Session) {
        state->queue.push_back(std::move(work));
        ++state->busy;
        if (state->laneThread) return true;
        try {
            std::thread([state] { ServeLane(state); }).detach();
        } catch (const std::system_error&) {
            state->queue.pop_back();
            --state->busy;
            return false;
        }
        state->laneThread = true;
        return true;
    }
    ++state->busy;
    lock.unlock();
    try {
        std::thread([state, work = std::move(work)] {
            work();
            state->Finished();
        }).detach();
    } catch (const std::system_error&) {
        state->Finished();
        return false;
    }
    return true;
}

bool Executor::WaitIdle(std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->idle.wait_for(lock, bound, [this] { return state_->busy == 0; });
}

void Executor::ServeLane(const std::shared_ptr<State>& state) {
    for (;;) {
        Task work;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            if (state->queue.empty() || state->closed) {
                state->laneThread = false;
                return;
            }
            work = std::move(state->queue.front());
            state->queue.pop_front();
        }
        work();
        work = nullptr;  // what it holds goes before the next work starts
        state->Finished();
    }
}

}  // namespace app
