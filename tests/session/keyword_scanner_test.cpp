#include "session/keyword_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using session::KeywordScanner;
using session::ScanEvent;
using session::ValueKind;

struct Member {
    std::string key;
    ValueKind kind;
    std::string value;
    int depth;
};

std::vector<Member> Members(std::string_view text) {
    std::vector<Member> members;
    KeywordScanner scanner(text);
    for (ScanEvent e = scanner.Next(); e != ScanEvent::End; e = scanner.Next())
        if (e == ScanEvent::Member) members.push_back({scanner.Key(), scanner.Kind(), scanner.Value(), scanner.Depth()});
    return members;
}

TEST(KeywordScanner, ReadsKeysValueKindsAndDepth) {
    auto m = Members("{'code':'S_OK','var':[{'id':7,'name':'Docs','stats':{'messageCount':3}}]}");
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0].key, "code");
    EXPECT_EQ(m[0].value, "S_OK");
    EXPECT_EQ(m[0].kind, ValueKind::Text);
    EXPECT_EQ(m[1].key, "var");
    EXPECT_EQ(m[1].kind, ValueKind::Array);
    EXPECT_EQ(m[2].key, "id");
    EXPECT_EQ(m[2].value, "7");
    EXPECT_EQ(m[2].kind, ValueKind::Bare);
    EXPECT_EQ(m[2].depth, 2);
    EXPECT_EQ(m[4].key, "stats");
    EXPECT_EQ(m[4].kind, ValueKind::Object);
    EXPECT_EQ(m[5].key, "messageCount");
    EXPECT_EQ(m[5].depth, 3);
}

TEST(KeywordScanner, TakesKeysOnlyWhereTheyStandAsKeys) {
    // Key texts inside values, inside longer keys, or quoted without a
    // colon after them are never taken as keys.
    auto m = Members("{'fid':1,'subject':'from sentDate id','x':'\\'id\\':'}");
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].key, "fid");
    EXPECT_EQ(m[1].key, "subject");
    EXPECT_EQ(m[1].value, "from sentDate id");
    EXPECT_EQ(m[2].key, "x");
    EXPECT_EQ(m[2].value, "'id':");
}

TEST(KeywordScanner, UnescapesQuotesAndBackslashesOnly) {
    struct Case {
        const char* text;
        const char* value;
    } cases[] = {
        {"{'s':'it\\'s'}", "it's"},
        {"{'s':'a\\\\b'}", "a\\b"},
        {"{'s':'a\\nb'}", "a\\nb"},  // other escapes are kept as they stand
        {"{'s':''}", ""},
        {"{'s':'\xE6\x96\x87'}", "\xE6\x96\x87"},
    };
    for (const Case& c : cases) {
        auto m = Members(c.text);
        ASSERT_EQ(m.size(), 1u) << c.text;
        EXPECT_EQ(m[0].value, c.value) << c.text;
    }
}

TEST(KeywordScanner, ReadsDatesAndFieldFormLineBreaks) {
    auto m = Members("{\n'sentDate':new Date(2026,0,5,10,3,1),\n'expirytime':new Date(2026,0,1),\n'n':\n42\n}");
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].kind, ValueKind::Date);
    EXPECT_EQ(m[0].value, "2026,0,5,10,3,1");
    EXPECT_EQ(m[1].value, "2026,0,1");
    EXPECT_EQ(m[2].value, "42");
}

TEST(KeywordScanner, SurvivesCutAndGarbledText) {
    const char* texts[] = {"", "{", "'", "{'a':", "{'a':'unterminated", "{'a':new Date(2026,1", "}}}]]", "::,,''",
                           "{'a'", "\x01\x02\xff{'\\"};
    for (const char* text : texts) {
        KeywordScanner scanner(text);
        int events = 0;
        while (scanner.Next() != ScanEvent::End) ASSERT_LT(++events, 100) << text;
    }
}

TEST(FindVarValue, TakesTextBareOrFirstArrayElement) {
    EXPECT_EQ(session::FindVarValue("{'code':'S_OK','var':'c0mp05e'}"), "c0mp05e");
    EXPECT_EQ(session::FindVarValue("{'code':'S_OK','var':[65550]}"), "65550");
    EXPECT_EQ(session::FindVarValue("{'code':'S_OK','var':[\n65551\n]}"), "65551");
    EXPECT_EQ(session::FindVarValue("{'code':'S_OK','var':[]}"), "");
    EXPECT_EQ(session::FindVarValue("{'code':'FA_INVALID','msg':'no var here'}"), "");
    EXPECT_EQ(session::FindVarValue("{'name':'var','code':'S_OK'}"), "");
}

}  // namespace
