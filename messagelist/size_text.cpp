#include "messagelist/size_text.h"

#include <cstring>
#include <limits>

namespace messagelist {

namespace {
constexpr std::int64_t kKilo = 1024;
constexpr std::int64_t kMega = 1048576;
// The most negative count whose text ("-9999999999999 BYTE") fits.
constexpr std::int64_t kLowestShown = -9999999999999;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Two decimals of remainder / unit by long division, truncated.
std::string TwoDecimals(std::int64_t remainder, std::int64_t unit) {
    std::string digits;
    for (int i = 0; i < 2; ++i) {
        remainder *= 10;
        digits.push_back(static_cast<char>('0' + remainder / unit));
        remainder %= unit;
    }
    return digits;
}
}  // namespace

std::int64_t ReadByteCount(const char* text) {
    if (!text) return 0;
    while (IsBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    // Accumulate towards the negative side, whose range is one larger.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        int digit = *text - '0';
        if (value < (kMin + digit) / 10) {
            value = kMin;
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
}

std::string SizeTextFor(std::int64_t bytes) {
    if (bytes >= kMega) return std::to_string(bytes / kMega) + "." + TwoDecimals(bytes % kMega, kMega) + " MB";
    if (bytes < kKilo) return std::to_string(bytes < kLowestShown ? kLowestShown : bytes) + " BYTE";
    return std::to_string(bytes / kKilo) + "." + TwoDecimals(bytes % kKilo, kKilo) + " KB";
}

void FormatSizeText(char (&text)[kSizeTextCapacity]) {
    text[kSizeTextCapacity - 1] = '\0';
    std::string shown = SizeTextFor(ReadByteCount(text));
    // The largest text, "8796093022207.99 MB", is 19 bytes: it always fits.
    std::size_t length = shown.size() < kSizeTextCapacity ? shown.size() : kSizeTextCapacity - 1;
    std::memcpy(text, shown.data(), length);
    std::memset(text + length, 0, kSizeTextCapacity - length);
}

}  // namespace messagelist
