#include "catalog/format_values.h"

#include <chrono>
#include <cstdio>

#ifdef _WIN32
#include <random>
#else
#include <sys/random.h>
#include <cerrno>
#endif

namespace catalog {

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

namespace {

// The date of a day counted from 1970-01-01: DaysFromCivil turned back.
void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

constexpr std::int64_t kLastSecond = 253402300799;  // 9999-12-31T23:59:59Z

bool FillRandom(unsigned char* bytes, std::size_t size) {
#ifdef _WIN32
    // On Windows the standard library's device is the system's RtlGenRandom.
    try {
        std::random_device device;
        for (std::size_t i = 0; i < size; i += 4) {
            unsigned value = device();
            for (std::size_t j = 0; j < 4 && i + j < size; ++j)
                bytes[i + j] = static_cast<unsigned char>(value >> (8 * j));
        }
        return true;
    } catch (...) {
        return false;
    }
#else
    std::size_t filled = 0;
    while (filled < size) {
        ssize_t got = getrandom(bytes + filled, size - filled, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        filled += static_cast<std::size_t>(got);
    }
    return true;
#endif
}

}  // namespace

bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = text[i];
        std::size_t extra;
        std::uint32_t code;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, code = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (std::size_t j = 1; j <= extra; ++j) {
            unsigned char next = text[i + j];
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        static const std::uint32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

Outcome CheckFileName(std::string_view name) {
    if (name.empty()) return Failure(StoreCode::Refused, "the file name is empty");
    if (!IsUtf8(name)) return Failure(StoreCode::Refused, "the file name is not valid UTF-8");
    if (name.find_first_of(std::string_view("\r\n\t\0", 4)) != std::string_view::npos)
        return Failure(StoreCode::Refused, "the file name holds a line break, tab or NUL");
    return Success();
}

bool IsLowerHex(std::string_view text, std::size_t length) {
    if (text.size() != length) return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

bool ParseDecimal(std::string_view text, std::uint64_t limit, std::uint64_t& value) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) return false;
    std::uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        unsigned digit = static_cast<unsigned>(c - '0');
        if (result > limit / 10) return false;
        result *= 10;
        if (digit > limit - result) return false;
        result += digit;
    }
    value = result;
    return true;
}

Outcome NewUploadId(std::string& id) {
    unsigned char bytes[16];
    if (!FillRandom(bytes, sizeof bytes)) return Failure(StoreCode::LocalFile, "the system's random source failed");
    static const char kDigits[] = "0123456789abcdef";
    id.clear();
    for (unsigned char byte : bytes) {
        id += kDigits[byte >> 4];
        id += kDigits[byte & 15];
    }
    return Success();
}

std::string FormatUtc(std::int64_t seconds) {
    if (seconds < 0) seconds = 0;
    if (seconds > kLastSecond) seconds = kLastSecond;
    std::int64_t days = seconds / 86400, rest = seconds % 86400, year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(year), month, day,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

bool ParseUtc(std::string_view text, std::int64_t& seconds) {
    static const char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != sizeof kShape - 1) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
    }
    auto number = [&](std::size_t at, std::size_t length) {
        unsigned value = 0;
        for (std::size_t i = at; i < at + length; ++i) value = value * 10 + static_cast<unsigned>(text[i] - '0');
        return value;
    };
    unsigned year = number(0, 4), month = number(5, 2), day = number(8, 2);
    unsigned hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    static const unsigned kMonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > kMonthDays[month - 1]) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return false;
    if (hour > 23 || minute > 59 || second > 59) return false;
    seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

std::int64_t UtcNow() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace catalog
