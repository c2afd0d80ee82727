#include "platform/stop_token.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

struct StopToken::State {
    std::mutex mutex;
    std::condition_variable asked;
    bool stop = false;  // guarded by mutex
};

bool StopToken::StopRequested() const {
    if (!state_) return false;
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->stop;
}

bool StopToken::SleepFor(std::chrono::milliseconds pause) const {
    if (!state_) {
        if (pause.count() > 0) std::this_thread::sleep_for(pause);
        return true;
    }
    std::unique_lock<std::mutex> lock(state_->mutex);
    return !state_->asked.wait_for(lock, pause, [this] { return state_->stop; });
}

StopSource::StopSource() : state_(std::make_shared<StopToken::State>()) {}

void StopSource::RequestStop() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stop = true;
    }
    state_->asked.notify_all();
}

bool StopSource::StopRequested() const {
    return Token().StopRequested();
}

std::function<bool()> KeepGoingUntil(StopToken stop) {
    return [stop = std::move(stop)] { return !stop.StopRequested(); };
}

}  // namespace platform
