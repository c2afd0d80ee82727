#include "messagelist/list_title.h"

#include <gtest/gtest.h>

#include <cstring>

#include "session/cells.h"

namespace {

session::MessageRow Row(const char* subject, const char* attached) {
    session::MessageRow row{};
    session::SetCell(row.subject, subject);
    session::SetCell(row.attached, attached);
    return row;
}

TEST(ListTitle, MarksOnlyAnAttachedCellThatIsExactlyTrue) {
    struct Case {
        const char* attached;
        const char* title;
    } cases[] = {
        {"true", "@  report.txt"},  {"TRUE", "   report.txt"}, {"True", "   report.txt"},
        {"false", "   report.txt"}, {"", "   report.txt"},     {"true ", "   report.txt"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(messagelist::ComposeTitle(Row("report.txt", c.attached)), c.title) << "attached " << c.attached;
}

TEST(ListTitle, CutsALongSubjectAtACharacterBoundary) {
    // 768-byte subjects do not fit the 259 bytes of a title: three bytes of
    // mark, then as many whole three-byte characters as fit (85, 255 bytes).
    std::string subject;
    for (int i = 0; i < 200; ++i) subject += "文";
    std::string title = messagelist::ComposeTitle(Row(subject.c_str(), "true"));
    EXPECT_EQ(title.size(), 3u + 85 * 3);
    EXPECT_EQ(title.substr(0, 3), "@  ");
    EXPECT_EQ(title.substr(3), subject.substr(0, 85 * 3));
}

TEST(CutUtf8, KeepsShortTextsAndWholeCharacters) {
    EXPECT_EQ(messagelist::CutUtf8("abc", 3), "abc");
    EXPECT_EQ(messagelist::CutUtf8("abcd", 3), "abc");
    EXPECT_EQ(messagelist::CutUtf8("a文", 2), "a");  // 文 is three bytes
    EXPECT_EQ(messagelist::CutUtf8("a文", 4), "a文");
    EXPECT_EQ(messagelist::CutUtf8("\xF0\x9F\x98\x80z", 3), "");  // a four-byte character
}

}  // namespace
