#include "url_codec.h"

#include <gtest/gtest.h>

namespace provider {
namespace {

TEST(PercentDecode, DecodesEscapesAndKeepsBrokenOnes) {
    struct Case {
        const char* in;
        bool plusIsSpace;
        std::string out;
    } cases[] = {
        {"demo%40163.example", false, "demo@163.example"},
        {"a%2Bb+c", true, "a+b c"},
        {"a%2Bb+c", false, "a+b+c"},
        {"%e4%bd%a0%E5%A5%BD", false, "\xE4\xBD\xA0\xE5\xA5\xBD"},
        {"50%off", true, "50%off"},  // not an escape: kept as sent
        {"%", false, "%"},
        {"%4", false, "%4"},
        {"%zz%41", false, "%zzA"},
        {"%00x", false, std::string("\0x", 2)},
        {"", true, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PercentDecode(c.in, c.plusIsSpace), c.out) << c.in;
}

TEST(ParseFields, SplitsDecodesAndKeepsOrder) {
    FieldList form = ParseForm("url=&type=1&user=a%40b.example&password=p%26%3D+x&flag&=v&&user=second");
    ASSERT_EQ(form.size(), 7u);
    EXPECT_EQ(*FindField(form, "url"), "");
    EXPECT_EQ(*FindField(form, "type"), "1");
    EXPECT_EQ(*FindField(form, "user"), "a@b.example");  // the first of two
    EXPECT_EQ(*FindField(form, "password"), "p&= x");
    EXPECT_EQ(*FindField(form, "flag"), "");
    EXPECT_EQ(*FindField(form, ""), "v");
    EXPECT_EQ(FindField(form, "missing"), nullptr);
}

TEST(ParseCookies, TakesTheClientsLineAndOthers) {
    struct Case {
        const char* line;
        const char* name;
        const char* value;  // nullptr: absent
    } cases[] = {
        {"S_INFO=1|0;P_INFO=a@b|1;NTES_SESS=abc;Coremail=xyz;", "Coremail", "xyz"},
        {"S_INFO=1|0;P_INFO=a@b|1;NTES_SESS=abc;Coremail=xyz;", "NTES_SESS", "abc"},
        {"a=1; b = 2 ;c=3", "b", "2"},
        {"Coremail=", "Coremail", ""},
        {"=orphan; x", "x", nullptr},
        {"", "Coremail", nullptr},
        {"Coremail.sid=1; Coremail=2", "Coremail", "2"},
    };
    for (const Case& c : cases) {
        FieldList cookies = ParseCookies(c.line);
        const std::string* value = FindField(cookies, c.name);
        if (c.value == nullptr) {
            EXPECT_EQ(value, nullptr) << c.line;
        } else {
            ASSERT_NE(value, nullptr) << c.line;
            EXPECT_EQ(*value, c.value) << c.line;
        }
    }
}

TEST(PercentEncode, LeavesOnlyUnreservedCharacters) {
    EXPECT_EQ(PercentEncode("a-b_c.d~e"), "a-b_c.d~e");
    EXPECT_EQ(PercentEncode("up & away.bin"), "up%20%26%20away.bin");
    EXPECT_EQ(PercentEncode("\xE6\x96\x87"), "%E6%96%87");
    EXPECT_EQ(PercentDecode(PercentEncode("any \x01\xFF;'\""), false), "any \x01\xFF;'\"");
}

}  // namespace
}  // namespace provider
