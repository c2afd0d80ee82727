#include "session/keyword_scanner.h"

namespace session {

namespace {
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool EndsBare(char c) { return c == ',' || c == '}' || c == ']' || c == ')' || IsSpace(c); }
constexpr std::string_view kDateStart = "new Date(";
}  // namespace

void KeywordScanner::SkipSpace() {
    while (!AtEnd() && IsSpace(text_[pos_])) ++pos_;
}

// At an opening quote: reads to the matching unescaped quote. A backslash
// before the quote character or before another backslash is dropped; every
// other backslash is kept.
std::string KeywordScanner::ReadQuoted() {
    char quote = text_[pos_++];
    std::string out;
    while (!AtEnd()) {
        char c = text_[pos_++];
        if (c == quote) return out;
        if (c == '\\' && !AtEnd() && (text_[pos_] == quote || text_[pos_] == '\\')) {
            out.push_back(text_[pos_++]);
            continue;
        }
        out.push_back(c);
    }
    return out;
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
