// A small XML reader for request bodies (PROPFIND, PROPPATCH, LOCK) and the
// writing side of our answers. The reader takes well-formed XML with
// namespaces and nothing more: a DTD is refused, and so is every entity but
// the five predefined ones and character references, so no body can expand
// or reach outside itself. Depth and element count are bounded.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dav {

struct XmlElement {
    std::string ns, name;              // namespace URI and local name; both empty for a text node
    std::string text;                  // a text node's characters
    std::string lang;                  // xml:lang as written on this element
    std::vector<XmlElement> children;  // elements and text nodes in order

    bool IsText() const { return name.empty(); }
    bool Is(const char* wantNs, const char* wantName) const { return ns == wantNs && name == wantName; }
    const XmlElement* Child(const char* wantNs, const char* wantName) const;
    // The characters of all text nodes directly below.
    std::string Text() const;
    bool HasElements() const;
};

struct XmlLimits {
    std::size_t maxDepth = 64;
    std::size_t maxElements = 20000;
};

// False with a reason when the text is not one well-formed element.
bool ParseXml(const std::string& text, XmlElement& root, std::string& error, const XmlLimits& limits = {});

// Escapes &, <, >, " and ' for text and attribute values.
std::string XmlEscape(const std::string& text);
// Writes an element back with its own namespace declarations, so it reads
// the same wherever it is placed.
std::string XmlWrite(const XmlElement& element);

}  // namespace dav
