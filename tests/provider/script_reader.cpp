#include "script_reader.h"

#include <cstdlib>

namespace providertest {

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool Value(ScriptValue& value, int depth) {
        if (depth > 32) return false;
        if (Take('{')) {
            value.kind = ScriptValue::Kind::Object;
            if (Take('}')) return true;
            do {
                value.members.emplace_back();
                if (!Quoted(value.members.back().first) || !Take(':') || !Value(value.members.back().second, depth + 1))
                    return false;
            } while (Take(','));
            return Take('}');
        }
        if (Take('[')) {
            value.kind = ScriptValue::Kind::Array;
            if (Take(']')) return true;
            bool good = true;
            do value.items.emplace_back();
            while ((good = Value(value.items.back(), depth + 1)) && Take(','));
            return good && Take(']');
        }
        if (Peek() == '\'') {
            value.kind = ScriptValue::Kind::Text;
            return Quoted(value.text);
        }
        const bool yes = Word("true");
        if (yes || Word("false")) {
            value.kind = ScriptValue::Kind::Boolean;
            value.boolean = yes;
            return true;
        }
        if (!Word("new Date(")) {
            value.kind = ScriptValue::Kind::Number;
            return Integer(value.number);
        }
        value.kind = ScriptValue::Kind::Date;
        bool good = true;
        do value.date.emplace_back();
        while ((good = Integer(value.date.back())) && Take(','));
        return good && Take(')');
    }
    bool AtEnd() { return Peek() == '\0' && pos_ == text_.size(); }
    std::size_t Position() const { return pos_; }

private:
    // The next character after blanks; '\0' at the end.
    char Peek() {
        while (pos_ < text_.size() && std::string_view(" \r\n\t").find(text_[pos_]) != std::string_view::npos) ++pos_;
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    bool Take(char c) {
        if (Peek() != c || c == '\0') return false;
        ++pos_;
        return true;
    }
    bool Word(std::string_view word) {
        if (Peek() == '\0' || text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }
    bool Integer(long long& value) {
        Peek();
        const char* start = text_.data() + pos_;
        char* end = nullptr;
        value = std::strtoll(start, &end, 10);
        pos_ += static_cast<std::size_t>(end - start);
        return end != start && *start != '+' && *start != ' ';
    }
    // Four hex digits as a UTF-16 unit; -1 when they are not there.
    long Unit() {
        std::string digits(text_.substr(pos_, 4));
        if (digits.size() < 4 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return -1;
        pos_ += 4;
        return std::strtol(digits.c_str(), nullptr, 16);
    }
    bool Quoted(std::string& out) {
        if (!Take('\'')) return false;
        for (char c; pos_ < text_.size();) {
            if ((c = text_[pos_++]) == '\'') return true;
            const std::string_view simple = "'\\nrt", meaning = "'\\\n\r\t";
            if (c != '\\') {
                out.push_back(c);
            } else if (pos_ < text_.size() && simple.find(text_[pos_]) != std::string_view::npos) {
                out.push_back(meaning[simple.find(text_[pos_++])]);
            } else if (pos_ < text_.size() && text_[pos_++] == 'u') {
                long point = Unit();
                if (point >= 0xD800 && point < 0xDC00) {  // a high surrogate: its low one must follow
                    long low = text_.substr(pos_, 2) == "\\u" ? (pos_ += 2, Unit()) : -1;
                    point = low >= 0xDC00 && low < 0xE000 ? 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00) : -1;
                }
                if (point < 0 || (point >= 0xD800 && point < 0xE000)) return false;
                const int extra = point < 0x80 ? 0 : point < 0x800 ? 1 : point < 0x10000 ? 2 : 3;
                out.push_back(
                    static_cast<char>(extra == 0 ? point : ((0xFF << (7 - extra)) & 0xFF) | (point >> (6 * extra))));
                for (int k = extra - 1; k >= 0; --k)
                    out.push_back(static_cast<char>(0x80 | ((point >> (6 * k)) & 0x3F)));
            } else {
                return false;
            }
        }
        return false;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

const ScriptValue* ScriptValue::Get(std::string_view key) const {
    for (const auto& member : members)
        if (member.first == key) return &member.second;
    return nullptr;
}

std::vector<std::string> ScriptValue::Keys() const {
    std::vector<std::string> keys;
    for (const auto& member : members) keys.push_back(member.first);
    return keys;
}

bool ParseScript(std::string_view text, ScriptValue& value, std::string& error) {
    value = ScriptValue();
    Reader reader(text);
    if (reader.Value(value, 0) && reader.AtEnd()) return true;
    error = "bad script text at " + std::to_string(reader.Position()) + ": '" +
            std::string(text.substr(std::min(reader.Position(), text.size()), 30)) + "'";
    return false;
}

}  // namespace providertest
