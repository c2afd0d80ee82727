#include "xml_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace provider {
namespace {

// What clients send is read through the functions that take it; here, what
// no client should be able to do to the reader.
TEST(XmlReader, RefusesWhatIsNotWellFormedOrTooDeep) {
    const std::pair<const char*, XmlFault> cases[] = {
        {"<object><string>x</object>", XmlFault::MismatchedTag},
        {"<object>&#xD800;</object>", XmlFault::BadReference},
        {"<object/><object/>", XmlFault::TrailingContent},
        {"<!DOCTYPE x [<!ENTITY a \"b\">]><object/>", XmlFault::Unsupported},
        {"<object name=\"x", XmlFault::Unclosed},
    };
    XmlElement root;
    for (const auto& [text, fault] : cases) EXPECT_EQ(ParseXml(text, root), fault) << text;
    std::string deep;
    for (int i = 0; i < kMaxXmlDepth; ++i) deep = "<a>" + deep + "</a>";
    EXPECT_EQ(ParseXml(deep, root), XmlFault::None);
    EXPECT_EQ(ParseXml("<a>" + deep + "</a>", root), XmlFault::TooDeep);
    EXPECT_NE(ParseXml(std::string(100000, '<'), root), XmlFault::None);
}

}  // namespace
}  // namespace provider
