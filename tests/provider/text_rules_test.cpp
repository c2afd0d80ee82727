#include "text_rules.h"

#include <gtest/gtest.h>

namespace provider {
namespace {

TEST(TextRules, Utf8Validity) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"ascii", true},
        {"\xE6\x96\x87\xE4\xBB\xB6", true},
        {"\xF0\x9F\x98\x80", true},
        {"\xC3", false},              // cut short
        {"\xC0\xAF", false},          // overlong
        {"\xE0\x80\xAF", false},      // overlong
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
        {"\x80", false},
        {"\xFF", false},
    };
    for (const auto& [text, valid] : cases) EXPECT_EQ(IsValidUtf8(text), valid) << text;
}

TEST(TextRules, Addresses) {
    const std::pair<const char*, bool> cases[] = {
        {"demo@163.example", true},
        {"First.Last+tag_x-y@yeah.example", true},
        {"a@b", true},
        {"", false},
        {"@b.example", false},
        {"a@", false},
        {"no-at.example", false},
        {"a b@c.example", false},
        {"a@b_c.example", false},
        {"a/b@c.example", false},
        {"a;b@c.example", false},
        {"a|b@c.example", false},
    };
    for (const auto& [address, valid] : cases) EXPECT_EQ(IsValidAddress(address), valid) << address;
    EXPECT_TRUE(IsValidAddress(std::string(61, 'a') + "@b"));
    EXPECT_FALSE(IsValidAddress(std::string(62, 'a') + "@b"));
}

TEST(TextRules, NamesAndSubjects) {
    EXPECT_TRUE(IsValidFolderName("R&D <2026> \"q\" 'x' \\ 文件"));
    EXPECT_FALSE(IsValidFolderName(""));
    EXPECT_FALSE(IsValidFolderName("tab\there"));
    EXPECT_FALSE(IsValidFolderName("\xFF"));
    EXPECT_TRUE(IsValidFolderName(std::string(kMaxFolderNameBytes, 'n')));
    EXPECT_FALSE(IsValidFolderName(std::string(kMaxFolderNameBytes + 1, 'n')));
    EXPECT_TRUE(IsValidSubject(""));
    EXPECT_FALSE(IsValidSubject("new\nline"));
    EXPECT_FALSE(IsValidSubject(std::string(kMaxSubjectBytes + 1, 's')));
}

TEST(TextRules, RecipientAddresses) {
    EXPECT_EQ(AddressOfRecipient("demo@163.example"), "demo@163.example");
    EXPECT_EQ(AddressOfRecipient(" \"Demo\" <demo@163.example> "), "demo@163.example");
    EXPECT_EQ(AddressOfRecipient("Demo <demo@163.example"), "Demo <demo@163.example");
    EXPECT_TRUE(EqualsIgnoringCase("DEMO@163.Example", "demo@163.example"));
    EXPECT_FALSE(EqualsIgnoringCase("demo@163.example", "demo@163.exampl"));
}

}  // namespace
}  // namespace provider
