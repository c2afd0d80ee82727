#include "cli/progress_bar.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cli {

namespace {
constexpr int kBarCells = 24;

// Characters of a UTF-8 text as a terminal counts them (one per code point).
std::size_t Columns(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++count;
    return count;
}
}  // namespace

std::string SizeText(std::int64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes < 0 ? 0 : bytes) + " B";
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string DurationText(double seconds) {
    if (!(seconds >= 0) || seconds > 359999) return "--:--";
    long total = std::lround(seconds);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string ProgressLine(std::int64_t done, std::int64_t total, double bytesPerSecond) {
    if (total < 0) total = 0;
    if (done < 0) done = 0;
    std::string line = SizeText(done);
    if (total > 0) {
        std::int64_t shown = done < total ? done : total;
        int percent = static_cast<int>(shown * 100 / total);
        int cells = static_cast<int>(shown * kBarCells / total);
        line = SizeText(shown) + " / " + SizeText(total) + " " + std::to_string(percent) + "% [" +
               std::string(static_cast<std::size_t>(cells), '#') +
               std::string(static_cast<std::size_t>(kBarCells - cells), '.') + "]";
        done = shown;
    }
    if (bytesPerSecond > 0) {
        line += " " + SizeText(static_cast<std::int64_t>(bytesPerSecond)) + "/s";
        if (total > 0) line += " " + DurationText(static_cast<double>(total - done) / bytesPerSecond) + " left";
    }
    return line;
}

bool StandardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

ProgressBar::ProgressBar(std::ostream& out, std::function<TransferReading()> read, int periodMs)
    : out_(out), read_(std::move(read)), periodMs_(periodMs) {
    thread_ = std::thread([this] { Run(); });
}

ProgressBar::~ProgressBar() {
    Stop();
}

void ProgressBar::SetNote(const std::string& note) {
    std::lock_guard<std::mutex> lock(mutex_);
    note_ = note;
}

void ProgressBar::Stop() {
    if (stop_.StopRequested() && !thread_.joinable()) return;
    stop_.RequestStop();
    if (thread_.joinable()) thread_.join();
    Draw("");
    out_.flush();
}

void ProgressBar::Draw(const std::string& line) {
    // Overwrites the previous line in place; spaces clear what it left.
    std::size_t width = Columns(line);
    std::string padding = drawnWidth_ > width ? std::string(drawnWidth_ - width, ' ') : std::string();
    if (line.empty() && drawnWidth_ == 0) return;
    out_ << '\r' << line << padding << '\r' << line;
    out_.flush();
    drawnWidth_ = width;
}

void ProgressBar::Run() {
    using Clock = std::chrono::steady_clock;
    bool wasRunning = false;
    Clock::time_point started;
    std::int64_t startDone = 0;  // bytes kept from an earlier run do not count toward the rate
    const platform::StopToken stop = stop_.Token();
    while (!stop.StopRequested()) {
        TransferReading reading = read_();
        std::string line;
        if (reading.running) {
            Clock::time_point now = Clock::now();
            if (!wasRunning) started = now, startDone = reading.done;
            double seconds = std::chrono::duration<double>(now - started).count();
            double rate = seconds > 0.1 ? static_cast<double>(reading.done - startDone) / seconds : 0;
            line = ProgressLine(reading.done, reading.total, rate);
        } else {
            std::lock_guard<std::mutex> lock(mutex_);
            line = note_;
        }
        wasRunning = reading.running;
        Draw(line);
        stop.SleepFor(std::chrono::milliseconds(periodMs_));
    }
}

}  // namespace cli
