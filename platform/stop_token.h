// Cancellation: a StopSource asks once, every StopToken taken from it hears
// it, and a pause taken through a token ends as soon as it is asked. One
// form for every worker, loop and transfer, instead of flags and callbacks
// of their own.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace platform {

class StopToken {
public:
    // A token that is never asked to stop.
    StopToken() = default;

    bool StopRequested() const;
    // Sleeps for `pause`, or less when a stop is asked meanwhile; false
    // when a stop was asked.
    bool SleepFor(std::chrono::milliseconds pause) const;

    struct State;

private:
    friend class StopSource;
    explicit StopToken(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

class StopSource {
public:
    StopSource();
    StopToken Token() const { return StopToken(state_); }
    // Asks every token to stop and wakes their pauses. Asking again does nothing.
    void RequestStop();
    bool StopRequested() const;

private:
    std::shared_ptr<StopToken::State> state_;
};

// For code that still takes a "keep going?" callback: true until a stop is asked.
std::function<bool()> KeepGoingUntil(StopToken stop);

}  // namespace platform
