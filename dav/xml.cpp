#include "dav/xml.h"

#include <cstring>
#include <map>

namespace dav {
namespace {

const char kXmlNs[] = "http://www.w3.org/XML/1998/namespace";

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c) {
    return !IsSpace(c) && c != '<' && c != '>' && c != '/' && c != '=' && c != '&' && c != '"' && c != '\'' &&
           c != '\0' && c != '!' && c != '?';
}

void AppendUtf8(std::string& out, unsigned long code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

struct RawAttribute {
    std::string name, value;
};

class Reader {
public:
    Reader(const std::string& text, const XmlLimits& limits) : text_(text), limits_(limits) {}

    bool Parse(XmlElement& root) {
        SkipMisc();
        if (!Failed() && (at_ >= text_.size() || text_[at_] != '<')) Fail("no element");
        if (Failed()) return false;
        std::vector<std::map<std::string, std::string>> scopes;
        if (!Element(root, scopes)) return false;
        SkipMisc();
        if (!Failed() && at_ != text_.size()) Fail("content after the element");
        return !Failed();
    }
    const std::string& Error() const { return error_; }

private:
    bool Failed() const { return !error_.empty(); }
    bool Fail(const char* why) {
        if (error_.empty()) error_ = std::string(why) + " at " + std::to_string(at_);
        return false;
    }
    bool StartsWith(const char* what) const { return text_.compare(at_, std::strlen(what), what) == 0; }
    bool SkipPast(const char* end) {
        std::size_t found = text_.find(end, at_);
        if (found == std::string::npos) return Fail("unterminated markup");
        at_ = found + std::strlen(end);
        return true;
    }

    // Whitespace, comments and processing instructions outside the element.
    void SkipMisc() {
        while (!Failed()) {
            while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
            if (StartsWith("<?")) {
                SkipPast("?>");
            } else if (StartsWith("<!--")) {
                SkipPast("-->");
            } else if (StartsWith("<!")) {
                Fail("document type declarations are not accepted");
            } else {
                return;
            }
        }
    }

    // Decodes character data up to `stop`, resolving the references we take.
    bool Characters(std::size_t end, std::string& out) {
        while (at_ < end) {
            char c = text_[at_];
            if (c != '&') {
                if (c == '\0') return Fail("NUL in text");
                out += c;
                ++at_;
                continue;
            }
            std::size_t semi = text_.find(';', at_);
            if (semi == std::string::npos || semi > end || semi - at_ > 12) return Fail("bad reference");
            std::string name = text_.substr(at_ + 1, semi - at_ - 1);
            at_ = semi + 1;
            if (name == "lt")
                out += '<';
            else if (name == "gt")
                out += '>';
            else if (name == "amp")
                out += '&';
            else if (name == "quot")
                out += '"';
            else if (name == "apos")
                out += '\'';
            else if (name.size() > 1 && name[0] == '#') {
                bool hex = name[1] == 'x';
                std::string digits = name.substr(hex ? 2 : 1);
                if (digits.empty()) return Fail("bad character reference");
                unsigned long code = 0;
                for (char d : digits) {
                    int value = d >= '0' && d <= '9'          ? d - '0'
                                : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                                : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                              : -1;
                    if (value < 0) return Fail("bad character reference");
                    code = code * (hex ? 16 : 10) + static_cast<unsigned long>(value);
                    if (code > 0x10FFFF) return Fail("character reference out of range");
                }
                if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) return Fail("character reference out of range");
                AppendUtf8(out, code);
            } else {
                return Fail("entities are not accepted");
            }
        }
        return true;
    }

    bool Name(std::string& name) {
        std::size_t begin = at_;
        while (at_ < text_.size() && IsNameChar(text_[at_])) ++at_;
        name = text_.substr(begin, at_ - begin);
        return name.empty() ? Fail("name expected") : true;
    }

    bool Resolve(const std::string& qualified, const std::vector<std::map<std::string, std::string>>& scopes,
                 bool isElement, std::string& ns, std::string& local) {
        std::size_t colon = qualified.find(':');
        std::string prefix = colon == std::string::npos ? "" : qualified.substr(0, colon);
        local = colon == std::string::npos ? qualified : qualified.substr(colon + 1);
        if (local.empty() || local.find(':') != std::string::npos) return Fail("bad qualified name");
        if (prefix == "xml") {
            ns = kXmlNs;
            return true;
        }
        if (prefix.empty() && !isElement) {
            ns.clear();
            return true;
        }
        for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope) {
            auto found = scope->find(prefix);
            if (found != scope->end()) {
                ns = found->second;
                return true;
            }
        }
        if (!prefix.empty()) return Fail("undeclared namespace prefix");
        ns.clear();
        return true;
    }

    bool Element(XmlElement& element, std::vector<std::map<std::string, std::string>>& scopes) {
        if (scopes.size() >= limits_.maxDepth) return Fail("too deep");
        if (++elements_ > limits_.maxElements) return Fail("too many elements");
        ++at_;  // '<'
        std::string qualified;
        if (!Name(qualified)) return false;
        std::vector<RawAttribute> attributes;
        std::map<std::string, std::string> scope;
        for (;;) {
            std::size_t before = at_;
            while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
            if (at_ >= text_.size()) return Fail("unterminated tag");
            if (text_[at_] == '>' || StartsWith("/>")) break;
            if (at_ == before) return Fail("space expected between attributes");
            RawAttribute attribute;
            if (!Name(attribute.name)) return false;
            while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
            if (at_ >= text_.size() || text_[at_] != '=') return Fail("'=' expected");
            ++at_;
            while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
            if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) return Fail("quote expected");
            char quote = text_[at_++];
            std::size_t end = text_.find(quote, at_);
            if (end == std::string::npos) return Fail("unterminated attribute");
            if (text_.find('<', at_) < end) return Fail("'<' in attribute");
            if (!Characters(end, attribute.value)) return false;
            at_ = end + 1;
            for (const RawAttribute& other : attributes)
                if (other.name == attribute.name) return Fail("repeated attribute");
            if (attribute.name == "xmlns") {
                scope[""] = attribute.value;
            } else if (attribute.name.compare(0, 6, "xmlns:") == 0) {
                std::string prefix = attribute.name.substr(6);
                if (prefix.empty() || attribute.value.empty() || prefix == "xmlns" || prefix == "xml")
                    return Fail("bad namespace declaration");
                scope[prefix] = attribute.value;
            }
            attributes.push_back(attribute);
        }
        scopes.push_back(scope);
        if (!Resolve(qualified, scopes, true, element.ns, element.name)) return false;
        for (const RawAttribute& attribute : attributes) {
            if (attribute.name == "xmlns" || attribute.name.compare(0, 6, "xmlns:") == 0) continue;
            std::string ns, local;
            if (!Resolve(attribute.name, scopes, false, ns, local)) return false;
            if (ns == kXmlNs && local == "lang") element.lang = attribute.value;
        }
        if (StartsWith("/>")) {
            at_ += 2;
            scopes.pop_back();
            return true;
        }
        ++at_;  // '>'
        for (;;) {
            std::size_t next = text_.find('<', at_);
            if (next == std::string::npos) return Fail("unterminated element");
            if (next > at_) {
                XmlElement textNode;
                if (!Characters(next, textNode.text)) return false;
                element.children.push_back(std::move(textNode));
            }
            at_ = next;
            if (StartsWith("</")) {
                at_ += 2;
                std::string closing;
                if (!Name(closing)) return false;
                if (closing != qualified) return Fail("mismatched end tag");
                while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
                if (at_ >= text_.size() || text_[at_] != '>') return Fail("'>' expected");
                ++at_;
                scopes.pop_back();
                return true;
            }
            if (StartsWith("<!--")) {
                if (!SkipPast("-->")) return false;
            } else if (StartsWith("<![CDATA[")) {
                at_ += 9;
                std::size_t end = text_.find("]]>", at_);
                if (end == std::string::npos) return Fail("unterminated CDATA");
                XmlElement textNode;
                textNode.text = text_.substr(at_, end - at_);
                if (textNode.text.find('\0') != std::string::npos) return Fail("NUL in text");
                element.children.push_back(std::move(textNode));
                at_ = end + 3;
            } else if (StartsWith("<?")) {
                if (!SkipPast("?>")) return false;
            } else if (StartsWith("<!")) {
                return Fail("markup declarations are not accepted");
            } else {
                element.children.emplace_back();
                if (!Element(element.children.back(), scopes)) return false;
            }
        }
    }

    const std::string& text_;
    XmlLimits limits_;
    std::size_t at_ = 0;
    std::size_t elements_ = 0;
    std::string error_;
};

void Write(const XmlElement& element, const std::string& parentNs, std::string& out) {
    if (element.IsText()) {
        out += XmlEscape(element.text);
        return;
    }
    out += '<' + element.name;
    if (element.ns != parentNs) out += " xmlns=\"" + XmlEscape(element.ns) + '"';
    if (!element.lang.empty()) out += " xml:lang=\"" + XmlEscape(element.lang) + '"';
    if (element.children.empty()) {
        out += "/>";
        return;
    }
    out += '>';
    for (const XmlElement& child : element.children) Write(child, element.ns, out);
    out += "</" + element.name + '>';
}

}  // namespace

const XmlElement* XmlElement::Child(const char* wantNs, const char* wantName) const {
    for (const XmlElement& child : children)
        if (child.Is(wantNs, wantName)) return &child;
    return nullptr;
}

std::string XmlElement::Text() const {
    std::string all;
    for (const XmlElement& child : children)
        if (child.IsText()) all += child.text;
    return all;
}

bool XmlElement::HasElements() const {
    for (const XmlElement& child : children)
        if (!child.IsText()) return true;
    return false;
}

bool ParseXml(const std::string& text, XmlElement& root, std::string& error, const XmlLimits& limits) {
    root = XmlElement();
    Reader reader(text, limits);
    if (reader.Parse(root)) return true;
    error = reader.Error();
    return false;
}

std::string XmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string XmlWrite(const XmlElement& element) {
    std::string out;
    // A sentinel parent namespace that no element has, so the top one
    // always declares its own (also the empty namespace).
    Write(element, std::string(1, '\x01'), out);
    return out;
}

}  // namespace dav
