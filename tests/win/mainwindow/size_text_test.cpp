#include "messagelist/size_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::string Formatted(const char* cell) {
    char text[messagelist::kSizeTextCapacity] = {};
    std::strncpy(text, cell, sizeof(text) - 1);
    messagelist::FormatSizeText(text);
    return text;
}

struct SizeCase {
    const char* cell;
    const char* shown;
};

TEST(FormatSizeText, ShowsTheExamplesOfTheSizeColumn) {
    const SizeCase cases[] = {
        {"0", "0 BYTE"},           {"1023", "1023 BYTE"},  {"1024", "1.00 KB"},    {"1536", "1.50 KB"},
        {"1048575", "1023.99 KB"}, {"1048576", "1.00 MB"}, {"1100000", "1.04 MB"}, {"1572864", "1.50 MB"},
    };
    for (const SizeCase& c : cases) EXPECT_EQ(Formatted(c.cell), c.shown) << "cell " << c.cell;
}

TEST(FormatSizeText, TruncatesTheDecimalsInsteadOfRounding) {
    const SizeCase cases[] = {
        {"1034", "1.00 KB"},      // 1.0097...
        {"2047", "1.99 KB"},      // 1.999...
        {"2097151", "1.99 MB"},   // 1.999999...
        {"10485759", "9.99 MB"},  // 9.999999...
        {"1073741824", "1024.00 MB"}, {"2147483647", "2047.99 MB"},
    };
    for (const SizeCase& c : cases) EXPECT_EQ(Formatted(c.cell), c.shown) << "cell " << c.cell;
}

TEST(FormatSizeText, ReadsTheNumberAtTheStartLikeASignedDecimal) {
    const SizeCase cases[] = {
        {"", "0 BYTE"},             // no digits at all
        {"abc", "0 BYTE"},          // not a number
        {"-", "0 BYTE"},            // a sign alone
        {"  2048", "2.00 KB"},      // leading blanks
        {"\t+1024", "1.00 KB"},     // a plus sign
        {"1536 bytes", "1.50 KB"},  // text after the number is ignored
        {"12abc", "12 BYTE"},
        {"-1", "-1 BYTE"},  // negative values stay in BYTE
        {"-5000", "-5000 BYTE"},
        {"- 5", "0 BYTE"},  // no digit right after the sign
    };
    for (const SizeCase& c : cases) EXPECT_EQ(Formatted(c.cell), c.shown) << "cell \"" << c.cell << "\"";
}

TEST(FormatSizeText, KeepsEveryResultInsideItsTwentyBytes) {
    // The longest inputs a 20-byte size cell can carry.
    const SizeCase cases[] = {
        {"9999999999999999999", "8796093022207.99 MB"},  // beyond 64 bits: saturates
        {"9223372036854775807", "8796093022207.99 MB"},
        {"-999999999999999999", "-9999999999999 BYTE"},  // cut at the lowest shown value
        {"-9999999999999", "-9999999999999 BYTE"},
    };
    for (const SizeCase& c : cases) {
        std::string shown = Formatted(c.cell);
        EXPECT_EQ(shown, c.shown) << "cell " << c.cell;
        EXPECT_LT(shown.size(), messagelist::kSizeTextCapacity);
    }
}

TEST(FormatSizeText, ClearsTheRestOfTheText) {
    char text[messagelist::kSizeTextCapacity];
    std::memset(text, 'x', sizeof(text));
    std::memcpy(text, "1024", 5);
    messagelist::FormatSizeText(text);
    EXPECT_STREQ(text, "1.00 KB");
    for (std::size_t i = std::strlen(text); i < sizeof(text); ++i) EXPECT_EQ(text[i], '\0') << "byte " << i;
}

TEST(FormatSizeText, StopsAtTheLastByteOfAnUnterminatedText) {
    char text[messagelist::kSizeTextCapacity];
    std::memset(text, '1', sizeof(text));  // nineteen digits are read, the twentieth is the end
    messagelist::FormatSizeText(text);
    EXPECT_STREQ(text, "1059638129340.27 MB");  // 1111111111111111111 bytes
}

TEST(ReadByteCount, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(messagelist::ReadByteCount("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(messagelist::ReadByteCount("-99999999999999999999999"), INT64_MIN);
    EXPECT_EQ(messagelist::ReadByteCount("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(messagelist::ReadByteCount("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(messagelist::ReadByteCount(nullptr), 0);
}

}  // namespace
