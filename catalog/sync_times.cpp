#include "catalog/sync_times.h"

#include <chrono>
#include <cmath>

namespace catalog {
namespace {

using FileClock = std::filesystem::file_time_type::clock;

// File clock minus system clock, in whole seconds.
std::int64_t EpochDifference() {
    static const std::int64_t difference = [] {
        const auto file = std::chrono::duration<double>(FileClock::now().time_since_epoch()).count();
        const auto system = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        return static_cast<std::int64_t>(std::llround(file - system));
    }();
    return difference;
}

}  // namespace

std::int64_t UtcSecondsOf(std::filesystem::file_time_type time) {
    auto seconds = std::chrono::floor<std::chrono::seconds>(time.time_since_epoch()).count();
    return static_cast<std::int64_t>(seconds) - EpochDifference();
}

std::filesystem::file_time_type FileTimeOf(std::int64_t utcSeconds) {
    return std::filesystem::file_time_type(
        std::chrono::duration_cast<FileClock::duration>(std::chrono::seconds(utcSeconds + EpochDifference())));
}

void KeepStoredTime(const std::filesystem::path& file, std::int64_t utcSeconds) {
    if (utcSeconds <= 0) return;
    std::error_code error;
    std::filesystem::last_write_time(file, FileTimeOf(utcSeconds), error);
}

}  // namespace catalog
