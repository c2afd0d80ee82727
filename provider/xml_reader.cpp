#include "xml_reader.h"

#include <cerrno>
#include <cstdlib>

namespace provider {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

void AppendUtf8(std::string& out, unsigned long codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// Characters that XML 1.0 allows: tab, line feed, carriage return, and the
// rest from U+0020 on, minus surrogates and the two non-characters at the top.
bool IsXmlChar(unsigned long c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    XmlFault Document(XmlElement& root) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        XmlFault fault = Misc();
        if (fault != XmlFault::None) return fault;
        if (AtEnd()) return XmlFault::Empty;
        if (Peek() != '<') return XmlFault::Syntax;
        fault = Element(root, 1);
        if (fault != XmlFault::None) return fault;
        fault = Misc();
        if (fault != XmlFault::None) return fault;
        return AtEnd() ? XmlFault::None : XmlFault::TrailingContent;
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return text_[pos_]; }
    bool StartsWith(std::string_view prefix) const { return text_.substr(pos_, prefix.size()) == prefix; }
    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek())) ++pos_;
    }

    // Blanks, comments and processing instructions outside the root.
    XmlFault Misc() {
        for (;;) {
            SkipBlanks();
            if (StartsWith("<!--")) {
                XmlFault fault = SkipPast("-->");
                if (fault != XmlFault::None) return fault;
            } else if (StartsWith("<?")) {
                XmlFault fault = SkipPast("?>");
                if (fault != XmlFault::None) return fault;
            } else if (StartsWith("<!")) {
                return XmlFault::Unsupported;
            } else {
                return XmlFault::None;
            }
        }
    }

    XmlFault SkipPast(std::string_view end) {
        std::size_t found = text_.find(end, pos_ + 2);
        if (found == std::string_view::npos) return XmlFault::Unclosed;
        pos_ = found + end.size();
        return XmlFault::None;
    }

    bool Name(std::string& name) {
        std::size_t start = pos_;
        if (AtEnd() || !IsNameStart(Peek())) return false;
        while (!AtEnd() && IsNameChar(Peek())) ++pos_;
        name.assign(text_.substr(start, pos_ - start));
        return true;
    }

    // At "&": appends the referenced character.
    XmlFault Reference(std::string& out) {
        std::size_t semicolon = text_.find(';', pos_);
        if (semicolon == std::string_view::npos || semicolon - pos_ > 12) return XmlFault::BadReference;
        std::string_view body = text_.substr(pos_ + 1, semicolon - pos_ - 1);
        pos_ = semicolon + 1;
        if (body == "amp") return out.push_back('&'), XmlFault::None;
        if (body == "lt") return out.push_back('<'), XmlFault::None;
        if (body == "gt") return out.push_back('>'), XmlFault::None;
        if (body == "quot") return out.push_back('"'), XmlFault::None;
        if (body == "apos") return out.push_back('\''), XmlFault::None;
        if (body.size() < 2 || body[0] != '#') return XmlFault::BadReference;
        int base = 10;
        std::string_view digits = body.substr(1);
        if (digits[0] == 'x') {
            base = 16;
            digits.remove_prefix(1);
        }
        if (digits.empty()) return XmlFault::BadReference;
        unsigned long codePoint = 0;
        for (char c : digits) {
            int value;
            if (c >= '0' && c <= '9')
                value = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f')
                value = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F')
                value = c - 'A' + 10;
            else
                return XmlFault::BadReference;
            codePoint = codePoint * base + value;
            if (codePoint > 0x10FFFF) return XmlFault::BadReference;
        }
        if (!IsXmlChar(codePoint)) return XmlFault::BadReference;
        AppendUtf8(out, codePoint);
        return XmlFault::None;
    }

    XmlFault AttributeValue(std::string& value) {
        if (AtEnd()) return XmlFault::Unclosed;
        char quote = Peek();
        if (quote != '"' && quote != '\'') return XmlFault::Syntax;
        ++pos_;
        while (!AtEnd() && Peek() != quote) {
            char c = Peek();
            if (c == '<') return XmlFault::Syntax;
            if (c == '&') {
                XmlFault fault = Reference(value);
                if (fault != XmlFault::None) return fault;
            } else {
                value.push_back(c);
                ++pos_;
            }
        }
        if (AtEnd()) return XmlFault::Unclosed;
        ++pos_;
        return XmlFault::None;
    }

    // At "<" of a start tag.
    XmlFault Element(XmlElement& element, int depth) {
        if (depth > kMaxXmlDepth) return XmlFault::TooDeep;
        ++pos_;
        if (!Name(element.tag)) return AtEnd() ? XmlFault::Unclosed : XmlFault::Syntax;
        for (;;) {
            std::size_t before = pos_;
            SkipBlanks();
            if (AtEnd()) return XmlFault::Unclosed;
            if (StartsWith("/>")) {
                pos_ += 2;
                return XmlFault::None;
            }
            if (Peek() == '>') {
                ++pos_;
                break;
            }
            if (pos_ == before) return XmlFault::Syntax;  // attributes need a blank before them
            std::string name, value;
            if (!Name(name)) return XmlFault::Syntax;
            SkipBlanks();
            if (AtEnd()) return XmlFault::Unclosed;
            if (Peek() != '=') return XmlFault::Syntax;
            ++pos_;
            SkipBlanks();
            XmlFault fault = AttributeValue(value);
            if (fault != XmlFault::None) return fault;
            if (element.Attribute(name) != nullptr) return XmlFault::Syntax;
            element.attributes.emplace_back(std::move(name), std::move(value));
        }
        return Content(element, depth);
    }

    XmlFault Content(XmlElement& element, int depth) {
        for (;;) {
            if (AtEnd()) return XmlFault::Unclosed;
            char c = Peek();
            if (c == '&') {
                XmlFault fault = Reference(element.text);
                if (fault != XmlFault::None) return fault;
            } else if (c != '<') {
                element.text.push_back(c);
                ++pos_;
            } else if (StartsWith("</")) {
                pos_ += 2;
                std::string name;
                if (!Name(name)) return AtEnd() ? XmlFault::Unclosed : XmlFault::Syntax;
                if (name != element.tag) return XmlFault::MismatchedTag;
                SkipBlanks();
                if (AtEnd()) return XmlFault::Unclosed;
                if (Peek() != '>') return XmlFault::Syntax;
                ++pos_;
                return XmlFault::None;
            } else if (StartsWith("<!--")) {
                XmlFault fault = SkipPast("-->");
                if (fault != XmlFault::None) return fault;
            } else if (StartsWith("<![CDATA[")) {
                std::size_t end = text_.find("]]>", pos_ + 9);
                if (end == std::string_view::npos) return XmlFault::Unclosed;
                element.text.append(text_.substr(pos_ + 9, end - pos_ - 9));
                pos_ = end + 3;
            } else if (StartsWith("<?")) {
                XmlFault fault = SkipPast("?>");
                if (fault != XmlFault::None) return fault;
            } else if (StartsWith("<!")) {
                return XmlFault::Unsupported;
            } else {
                element.children.emplace_back();
                XmlFault fault = Element(element.children.back(), depth + 1);
                if (fault != XmlFault::None) return fault;
            }
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

const std::string* XmlElement::Attribute(std::string_view name) const {
    for (const auto& attribute : attributes)
        if (attribute.first == name) return &attribute.second;
    return nullptr;
}

const XmlElement* XmlElement::Member(std::string_view name) const {
    for (const XmlElement& child : children) {
        const std::string* childName = child.Attribute("name");
        if (childName != nullptr && *childName == name) return &child;
    }
    return nullptr;
}

const char* XmlFaultText(XmlFault fault) {
    switch (fault) {
    case XmlFault::None: return "well-formed";
    case XmlFault::Empty: return "no root element";
    case XmlFault::Syntax: return "syntax error";
    case XmlFault::Unclosed: return "the text ends inside an element";
    case XmlFault::MismatchedTag: return "an end tag does not match its start tag";
    case XmlFault::BadReference: return "unknown or disallowed character reference";
    case XmlFault::TooDeep: return "elements nested too deeply";
    case XmlFault::TrailingContent: return "content after the root element";
    case XmlFault::Unsupported: return "document type declarations are not supported";
    }
    return "unknown fault";
}

XmlFault ParseXml(std::string_view text, XmlElement& root) {
    root = XmlElement();
    return Parser(text).Document(root);
}

bool ReadInt(const XmlElement& element, std::int64_t& value) {
    std::string_view digits = TrimBlanks(element.text);
    if (digits.empty() || digits.size() > 19) return false;
    std::size_t start = digits[0] == '-' ? 1 : 0;
    if (start == digits.size()) return false;
    for (std::size_t i = start; i < digits.size(); ++i)
        if (digits[i] < '0' || digits[i] > '9') return false;
    errno = 0;
    long long parsed = std::strtoll(std::string(digits).c_str(), nullptr, 10);
    if (errno == ERANGE) return false;
    value = parsed;
    return true;
}

bool ReadBool(const XmlElement& element, bool& value) {
    std::string_view word = TrimBlanks(element.text);
    if (word == "true" || word == "1") {
        value = true;
        return true;
    }
    if (word == "false" || word == "0") {
        value = false;
        return true;
    }
    return false;
}

}  // namespace provider
