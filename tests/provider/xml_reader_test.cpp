#include "xml_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace provider {
namespace {

TEST(XmlReader, ReadsTheBodiesTheClientSends) {
    XmlElement root;
    ASSERT_EQ(ParseXml("<?xml version=\"1.0\"?><object><array name=\"items\"><object><string name=\"name\">"
                       "R&amp;D &lt;2026&gt; &quot;q&quot; &apos;s&apos; \\ &#25991;&#x4EF6;</string></object>"
                       "</array></object>\r\n",
                       root),
              XmlFault::None);
    EXPECT_EQ(root.tag, "object");
    const XmlElement* items = root.Member("items");
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items->tag, "array");
    ASSERT_EQ(items->children.size(), 1u);
    const XmlElement* name = items->children[0].Member("name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text, "R&D <2026> \"q\" 's' \\ \xE6\x96\x87\xE4\xBB\xB6");
}

TEST(XmlReader, KeepsBlanksInsideTextAndReadsTypedValues) {
    XmlElement root;
    ASSERT_EQ(ParseXml("<object>\n  <int name=\"fid\"> 65550 </int>\n  <boolean name=\"desc\">true</boolean>"
                       "<string name=\"s\">  two  spaces </string><array name=\"e\"/><object/></object>",
                       root),
              XmlFault::None);
    std::int64_t fid = 0;
    bool desc = false;
    ASSERT_TRUE(ReadInt(*root.Member("fid"), fid));
    EXPECT_EQ(fid, 65550);
    ASSERT_TRUE(ReadBool(*root.Member("desc"), desc));
    EXPECT_TRUE(desc);
    EXPECT_EQ(root.Member("s")->text, "  two  spaces ");
    EXPECT_TRUE(root.Member("e")->children.empty());
    EXPECT_EQ(root.children.size(), 5u);
}

TEST(XmlReader, SkipsCommentsInstructionsAndTakesCdata) {
    XmlElement root;
    ASSERT_EQ(ParseXml("\xEF\xBB\xBF<!-- a --><?pi x?><object><!-- b --><string name=\"x\">a<![CDATA[<&>]]>b<?p?>"
                       "</string></object><!-- c -->\n",
                       root),
              XmlFault::None);
    EXPECT_EQ(root.Member("x")->text, "a<&>b");
}

TEST(XmlReader, RefusesWhatIsNotWellFormed) {
    struct Case {
        const char* text;
        XmlFault fault;
    } cases[] = {
        {"", XmlFault::Empty},
        {"   ", XmlFault::Empty},
        {"<?xml version=\"1.0\"?>", XmlFault::Empty},
        {"text", XmlFault::Syntax},
        {"<object>", XmlFault::Unclosed},
        {"<object><string>x</object>", XmlFault::MismatchedTag},
        {"<object></objec>", XmlFault::MismatchedTag},
        {"<object><string name=\"a\">R&D</string></object>", XmlFault::BadReference},
        {"<object>&unknown;</object>", XmlFault::BadReference},
        {"<object>&#0;</object>", XmlFault::BadReference},
        {"<object>&#xD800;</object>", XmlFault::BadReference},
        {"<object>&#x110000;</object>", XmlFault::BadReference},
        {"<object>&#;</object>", XmlFault::BadReference},
        {"<object a=\"1\" a=\"2\"/>", XmlFault::Syntax},
        {"<object a=1/>", XmlFault::Syntax},
        {"<object a=\"<\"/>", XmlFault::Syntax},
        {"<object a=\"1\"b=\"2\"/>", XmlFault::Syntax},
        {"<object/><object/>", XmlFault::TrailingContent},
        {"<object/>junk", XmlFault::TrailingContent},
        {"<!DOCTYPE x [<!ENTITY a \"b\">]><object/>", XmlFault::Unsupported},
        {"<object><!-- open", XmlFault::Unclosed},
        {"<1object/>", XmlFault::Syntax},
        {"<object><![CDATA[x</object>", XmlFault::Unclosed},
        {"<object", XmlFault::Unclosed},
        {"<object name=\"x", XmlFault::Unclosed},
    };
    for (const Case& c : cases) {
        XmlElement root;
        EXPECT_EQ(ParseXml(c.text, root), c.fault) << c.text << " gave " << XmlFaultText(ParseXml(c.text, root));
    }
}

TEST(XmlReader, BoundsNesting) {
    std::string deep;
    for (int i = 0; i < kMaxXmlDepth; ++i) deep += "<a>";
    for (int i = 0; i < kMaxXmlDepth; ++i) deep += "</a>";
    XmlElement root;
    EXPECT_EQ(ParseXml(deep, root), XmlFault::None);
    EXPECT_EQ(ParseXml("<a>" + deep + "</a>", root), XmlFault::TooDeep);
    std::string bomb(100000, '<');
    EXPECT_NE(ParseXml(bomb, root), XmlFault::None);
}

TEST(XmlReader, TypedReadingsRefuseWhatTheyCannotHold) {
    struct Case {
        const char* text;
        bool isInt;
        std::int64_t value;
    } ints[] = {
        {"0", true, 0},
        {"-3", true, -3},
        {" 12 ", true, 12},
        {"9223372036854775807", true, INT64_MAX},
        {"", false, 0},
        {"-", false, 0},
        {"1.5", false, 0},
        {"12a", false, 0},
        {"0x10", false, 0},
        {"1 2", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const Case& c : ints) {
        XmlElement element;
        element.text = c.text;
        std::int64_t value = 0;
        EXPECT_EQ(ReadInt(element, value), c.isInt) << c.text;
        if (c.isInt) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    const std::pair<const char*, int> bools[] = {{"true", 1},    {"false", 0}, {"1", 1},    {"0", 0},
                                                 {" true\n", 1}, {"TRUE", -1}, {"yes", -1}, {"", -1}};
    for (const auto& [text, expected] : bools) {
        XmlElement element;
        element.text = text;
        bool value = false;
        EXPECT_EQ(ReadBool(element, value), expected >= 0) << text;
        if (expected >= 0) {
            EXPECT_EQ(value, expected == 1) << text;
        }
    }
}

}  // namespace
}  // namespace provider
