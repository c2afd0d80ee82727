#include "session/keyword_scanner.h"

namespace session {

namespace {
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool EndsBare(char c) {
    return c == ',' || c == '}' || c == ']' || c == ')' || IsSpace(c);
}
constexpr std::string_view kDateStart = "new Date(";
}  // namespace

void KeywordScanner::SkipSpace() {
    while (!AtEnd() && IsSpace(text_[pos_])) ++pos_;
}

// At an opening quote: reads to the matching unescaped quote. With
// Escapes::Quotes a backslash before the quote character or before another
// backslash is dropped and every other backslash is kept; with
// Escapes::Script every escape is decoded.
std::string KeywordScanner::ReadQuoted() {
    char quote = text_[pos_++];
    std::string out;
    while (!AtEnd()) {
        char c = text_[pos_++];
        if (c == quote) return out;
        if (c == '\\' && !AtEnd() && escapes_ == Escapes::Script) {
            ReadEscape(out);
            continue;
        }
        if (c == '\\' && !AtEnd() && (text_[pos_] == quote || text_[pos_] == '\\')) {
            out.push_back(text_[pos_++]);
            continue;
        }
        out.push_back(c);
    }
    return out;
}

namespace {
// The value of `digits` hex digits at text[at]; -1 when they are not all there.
long HexValue(std::string_view text, std::size_t at, std::size_t digits) {
    if (at > text.size() || text.size() - at < digits) return -1;
    long value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

void AppendUtf8(std::string& out, unsigned long point) {
    if (point < 0x80) {
        out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (point >> 6)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

constexpr unsigned long kReplacement = 0xFFFD;  // for a surrogate without its other half
}  // namespace

// After a backslash: decodes one escape into `out`. An escape cut off or
// with too few hex digits stands for its letter.
void KeywordScanner::ReadEscape(std::string& out) {
    char c = text_[pos_++];
    switch (c) {
    case 'n': out.push_back('\n'); return;
    case 'r': out.push_back('\r'); return;
    case 't': out.push_back('\t'); return;
    case 'b': out.push_back('\b'); return;
    case 'f': out.push_back('\f'); return;
    case 'v': out.push_back('\v'); return;
    case '0': out.push_back('\0'); return;
    case 'x': {
        long value = HexValue(text_, pos_, 2);
        if (value < 0) break;
        pos_ += 2;
        AppendUtf8(out, static_cast<unsigned long>(value));
        return;
    }
    case 'u': {
        long unit = HexValue(text_, pos_, 4);
        if (unit < 0) break;
        pos_ += 4;
        unsigned long point = static_cast<unsigned long>(unit);
        if (point >= 0xD800 && point <= 0xDBFF) {
            long low = text_.substr(pos_, 2) == "\\u" ? HexValue(text_, pos_ + 2, 4) : -1;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                pos_ += 6;
                point = 0x10000 + ((point - 0xD800) << 10) + (static_cast<unsigned long>(low) - 0xDC00);
            } else {
                point = kReplacement;
            }
        } else if (point >= 0xDC00 && point <= 0xDFFF) {
            point = kReplacement;
        }
        AppendUtf8(out, point);
        return;
    }
    default: break;
    }
    out.push_back(c);
}

std::string KeywordScanner::ReadBare() {
    std::size_t start = pos_;
    while (!AtEnd() && !EndsBare(text_[pos_]) && text_[pos_] != '{' && text_[pos_] != '[') ++pos_;
    return std::string(text_.substr(start, pos_ - start));
}

// Reads the value after a key's colon into value_/kind_. Objects and arrays
// are left for the following calls of Next().
bool KeywordScanner::ReadValue() {
    SkipSpace();
    value_.clear();
    if (AtEnd()) {
        kind_ = ValueKind::Bare;
        return true;
    }
    char c = text_[pos_];
    if (c == '\'' || c == '"') {
        kind_ = ValueKind::Text;
        value_ = ReadQuoted();
    } else if (c == '{') {
        kind_ = ValueKind::Object;
    } else if (c == '[') {
        kind_ = ValueKind::Array;
        ++pos_;
    } else if (text_.substr(pos_, kDateStart.size()) == kDateStart) {
        kind_ = ValueKind::Date;
        pos_ += kDateStart.size();
        std::size_t close = text_.find(')', pos_);
        if (close == std::string_view::npos) close = text_.size();
        value_ = std::string(text_.substr(pos_, close - pos_));
        pos_ = close < text_.size() ? close + 1 : close;
    } else {
        kind_ = ValueKind::Bare;
        value_ = ReadBare();
    }
    return true;
}

ScanEvent KeywordScanner::Next() {
    while (true) {
        SkipSpace();
        if (AtEnd()) return ScanEvent::End;
        char c = text_[pos_];
        if (c == '{') {
            ++pos_;
            ++depth_;
            return ScanEvent::ObjectOpen;
        }
        if (c == '}') {
            ++pos_;
            if (depth_ > 0) --depth_;
            return ScanEvent::ObjectClose;
        }
        if (c == ',' || c == ']' || c == ':' || c == ')') {
            ++pos_;
            continue;
        }
        if (c == '\'' || c == '"') {
            std::string quoted = ReadQuoted();
            SkipSpace();
            if (!AtEnd() && text_[pos_] == ':') {
                ++pos_;
                key_ = std::move(quoted);
                ReadValue();
                return ScanEvent::Member;
            }
            key_.clear();
            value_ = std::move(quoted);
            kind_ = ValueKind::Text;
            return ScanEvent::Element;
        }
        if (c == '[') {
            ++pos_;
            continue;
        }
        // A bare word: an unquoted element, or stray text that is skipped.
        std::string word = ReadBare();
        if (word.empty()) {
            ++pos_;
            continue;
        }
        key_.clear();
        value_ = std::move(word);
        kind_ = ValueKind::Bare;
        return ScanEvent::Element;
    }
}

std::string FindVarValue(std::string_view text) {
    KeywordScanner scanner(text);
    for (ScanEvent event = scanner.Next(); event != ScanEvent::End; event = scanner.Next()) {
        if (event != ScanEvent::Member || scanner.Key() != "var") continue;
        if (scanner.Kind() == ValueKind::Text || scanner.Kind() == ValueKind::Bare) return scanner.Value();
        if (scanner.Kind() != ValueKind::Array) return {};
        ScanEvent inner = scanner.Next();
        return inner == ScanEvent::Element ? scanner.Value() : std::string();
    }
    return {};
}

}  // namespace session
