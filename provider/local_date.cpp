#include "local_date.h"

#include <chrono>
#include <ctime>

namespace provider {

DateParts LocalDateParts(std::int64_t epochSeconds) {
    std::time_t when = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
    DateParts parts;
    if (::localtime_r(&when, &local) == nullptr) return parts;
    parts.year = local.tm_year + 1900;
    parts.month0 = local.tm_mon;
    parts.day = local.tm_mday;
    parts.hour = local.tm_hour;
    parts.minute = local.tm_min;
    parts.second = local.tm_sec;
    return parts;
}

std::int64_t EpochFromLocal(int year, int month1, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month1 - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

std::int64_t NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::int64_t NowSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace provider
