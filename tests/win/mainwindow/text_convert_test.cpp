#include "messagelist/text_convert.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

TEST(Utf8ToWide, ConvertsWholeTexts) {
    wchar_t wide[32];
    EXPECT_EQ(messagelist::Utf8ToWide("工作文档", wide), 4u);
    EXPECT_STREQ(wide, L"工作文档");
    EXPECT_EQ(messagelist::Utf8ToWide("", wide), 0u);
    EXPECT_STREQ(wide, L"");
    EXPECT_EQ(messagelist::Utf8ToWide(nullptr, wide), 0u);
    EXPECT_STREQ(wide, L"");
}

TEST(Utf8ToWide, CutsALongTextToTheBufferAndTerminatesIt) {
    wchar_t wide[5];
    std::wmemset(wide, L'x', 5);
    EXPECT_EQ(messagelist::Utf8ToWide("abcdefgh", wide), 4u);
    EXPECT_STREQ(wide, L"abcd");
}

TEST(Utf8ToWide, NeverSplitsASurrogatePair) {
    // U+1F600 is two UTF-16 units; with room for four units and the
    // terminator the pair would straddle the end, so it is left out whole.
    wchar_t wide[5];
    EXPECT_EQ(messagelist::Utf8ToWide("abc\xF0\x9F\x98\x80", wide), 3u);
    EXPECT_STREQ(wide, L"abc");
    wchar_t roomy[6];
    EXPECT_EQ(messagelist::Utf8ToWide("abc\xF0\x9F\x98\x80", roomy), 5u);
    EXPECT_EQ(roomy[3], 0xD83D);
    EXPECT_EQ(roomy[4], 0xDE00);
}

TEST(Utf8ToWide, WritesNothingIntoAnEmptyBuffer) {
    wchar_t guard = L'g';
    EXPECT_EQ(messagelist::Utf8ToWide("abc", &guard, 0), 0u);
    EXPECT_EQ(guard, L'g');
}

TEST(AnsiToUtf8, ReportsTheSizeItNeedsWithoutABuffer) {
    EXPECT_EQ(messagelist::AnsiToUtf8(nullptr, nullptr), 0);
    EXPECT_EQ(messagelist::AnsiToUtf8("", nullptr), 1);
    EXPECT_EQ(messagelist::AnsiToUtf8("report.txt", nullptr), 11);
}

TEST(AnsiToUtf8, ConvertsTheSystemCodePage) {
    // The tests run with the code page the program is made for (GBK).
    ASSERT_EQ(GetACP(), 936u);
    const char gbk[] = "\xB9\xA4\xD7\xF7.txt";  // 工作.txt
    char out[messagelist::kAnsiToUtf8Capacity];
    EXPECT_EQ(messagelist::AnsiToUtf8(gbk, out), 11);
    EXPECT_STREQ(out, "工作.txt");
}

TEST(AnsiToUtf8, RefusesAResultOverItsRoomAndLeavesTheBufferAlone) {
    std::string fits(259, 'a');  // 259 bytes and the terminator: exactly 260
    std::string over(260, 'a');
    char out[messagelist::kAnsiToUtf8Capacity];
    EXPECT_EQ(messagelist::AnsiToUtf8(fits.c_str(), out), 260);
    EXPECT_EQ(std::string(out), fits);
    std::memset(out, 'z', sizeof(out));
    EXPECT_EQ(messagelist::AnsiToUtf8(over.c_str(), nullptr), 261);
    EXPECT_EQ(messagelist::AnsiToUtf8(over.c_str(), out), 0);
    for (char c : out) ASSERT_EQ(c, 'z');
    // Chinese doubles up: 130 GBK characters (260 bytes) need 391 UTF-8 bytes.
    std::string wide;
    for (int i = 0; i < 130; ++i) wide += "\xB9\xA4";
    EXPECT_EQ(messagelist::AnsiToUtf8(wide.c_str(), nullptr), 391);
    EXPECT_EQ(messagelist::AnsiToUtf8(wide.c_str(), out), 0);
}

}  // namespace
