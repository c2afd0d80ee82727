// A one-line progress display on standard error while a file travels:
// bytes so far, the share of the whole, the rate and the time left. It is
// drawn from the Session's transfer fields by a thread that polls them, the
// way the desktop program's progress timer does, so the transfer itself
// never waits for the display.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>

#include "platform/stop_token.h"

namespace cli {

struct TransferReading {
    bool running = false;
    std::int64_t done = 0;
    std::int64_t total = 0;
};

// "1.5 MiB", "512 B": binary units, one decimal from KiB on.
std::string SizeText(std::int64_t bytes);

// "0:07", "1:02:03"; "--:--" when unknown.
std::string DurationText(double seconds);

// The line drawn for one reading; rate in bytes per second, 0 when not yet
// known.
std::string ProgressLine(std::int64_t done, std::int64_t total, double bytesPerSecond);

// True when standard error is a terminal (the bar is drawn only there).
bool StandardErrorIsTerminal();

class ProgressBar {
public:
    // Starts polling `read` every `periodMs`; draws on `out`.
    ProgressBar(std::ostream& out, std::function<TransferReading()> read, int periodMs = 200);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // Text shown while no transfer runs (e.g. what the command waits for).
    void SetNote(const std::string& note);
    // Stops polling and clears the line; idempotent.
    void Stop();

private:
    void Run();
    void Draw(const std::string& line);

    std::ostream& out_;
    std::function<TransferReading()> read_;
    int periodMs_;
    std::mutex mutex_;  // guards note_
    platform::StopSource stop_;
    std::string note_;
    std::size_t drawnWidth_ = 0;
    std::thread thread_;
};

}  // namespace cli
