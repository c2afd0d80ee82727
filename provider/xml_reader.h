// A small, strict XML reader for the request bodies of the webmail
// functions: elements, attributes, character data with the five named
// references and numeric ones, comments, CDATA and processing instructions.
// No DOCTYPE, so no entity can expand. Depth and size are bounded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace provider {

struct XmlElement {
    std::string tag;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;  // the character data directly inside, references decoded
    std::vector<XmlElement> children;

    const std::string* Attribute(std::string_view name) const;
    // The child whose name attribute is `name`: how objects carry members.
    const XmlElement* Member(std::string_view name) const;
};

enum class XmlFault {
    None,
    Empty,            // no root element
    Syntax,           // a character where the grammar allows none
    Unclosed,         // the text ends inside an element
    MismatchedTag,    // </b> closes <a>
    BadReference,     // &x; unknown, or a character number that is not allowed
    TooDeep,          // nesting beyond kMaxXmlDepth
    TrailingContent,  // something after the root element
    Unsupported,      // DOCTYPE
};

constexpr int kMaxXmlDepth = 32;

const char* XmlFaultText(XmlFault fault);
XmlFault ParseXml(std::string_view text, XmlElement& root);

// Typed readings of an element's text, as the function bodies write them:
// <int>12</int>, <boolean>true</boolean>, <string>x</string>.
bool ReadInt(const XmlElement& element, std::int64_t& value);
bool ReadBool(const XmlElement& element, bool& value);

}  // namespace provider
