// Times are kept as seconds since the epoch and shown in local time, the
// way the answers write dates: year, month counted from 0, day, hour,
// minute, second.
#pragma once

#include <cstdint>

namespace provider {

struct DateParts {
    int year = 1970;
    int month0 = 0;  // 0 = January
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

DateParts LocalDateParts(std::int64_t epochSeconds);
// Local time with the month counted from 1, as people write it.
std::int64_t EpochFromLocal(int year, int month1, int day, int hour, int minute, int second);
std::int64_t NowSeconds();
std::int64_t NowMilliseconds();

}  // namespace provider
