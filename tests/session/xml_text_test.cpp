// XmlEscape: the five characters that would change an XML body.
#include <gtest/gtest.h>

#include "session/xml_text.h"

namespace {

TEST(XmlEscape, ReplacesTheFiveMarkupCharactersOnly) {
    struct Case {
        const char* text;
        const char* escaped;
    } cases[] = {
        {"", ""},
        {"plain name.txt", "plain name.txt"},
        {"R&D <2026>", "R&amp;D &lt;2026&gt;"},
        {"say \"hi\" it's", "say &quot;hi&quot; it&apos;s"},
        {"&amp;", "&amp;amp;"},
        {"</string><string name=\"x\">", "&lt;/string&gt;&lt;string name=&quot;x&quot;&gt;"},
        {"caf\xc3\xa9 \xe6\x96\x87\xe4\xbb\xb6", "caf\xc3\xa9 \xe6\x96\x87\xe4\xbb\xb6"},
    };
    for (const Case& c : cases) EXPECT_EQ(session::XmlEscape(c.text), c.escaped) << c.text;
}

}  // namespace
