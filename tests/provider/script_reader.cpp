#include "script_reader.h"

namespace providertest {

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool Document(ScriptValue& value, std::string& error) {
        bool good = Value(value, 0) && (SkipBlanks(), pos_ == text_.size());
        if (!good)
            error = "bad script text at " + std::to_string(pos_) + ": '" + std::string(text_.substr(pos_, 30)) + "'";
        return good;
    }

private:
    void SkipBlanks() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\n' || text_[pos_] == '\r' || text_[pos_] == '\t'))
            ++pos_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        SkipBlanks();
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    bool Quoted(std::string& out) {
        if (!Take('\'')) return false;
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (c == '\'') return true;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= text_.size()) return false;
            char escaped = text_[pos_++];
            if (escaped == '\'' || escaped == '\\') {
                out.push_back(escaped);
            } else if (escaped == 'x' && pos_ + 2 <= text_.size()) {
                out.push_back(static_cast<char>(std::stoi(std::string(text_.substr(pos_, 2)), nullptr, 16)));
                pos_ += 2;
            } else {
                return false;
            }
        }
        return false;
    }

    bool Integer(long long& value) {
        SkipBlanks();
        std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
        if (pos_ == start || (pos_ == start + 1 && text_[start] == '-')) return false;
        value = std::stoll(std::string(text_.substr(start, pos_ - start)));
        return true;
    }

    bool Value(ScriptValue& value, int depth) {
        if (depth > 32) return false;
        SkipBlanks();
        if (pos_ >= text_.size()) return false;
        char c = text_[pos_];
        if (c == '{') {
            ++pos_;
            value.kind = ScriptValue::Kind::Object;
            if (Take('}')) return true;
            do {
                std::string key;
                if (!Quoted(key) || !Take(':')) return false;
                value.members.emplace_back(key, ScriptValue());
                if (!Value(value.members.back().second, depth + 1)) return false;
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            ++pos_;
            value.kind = ScriptValue::Kind::Array;
            if (Take(']')) return true;
            do {
                value.items.emplace_back();
                if (!Value(value.items.back(), depth + 1)) return false;
            } while (Take(','));
            return Take(']');
        }
        if (c == '\'') {
            value.kind = ScriptValue::Kind::Text;
            return Quoted(value.text);
        }
        if (Word("true") || Word("false")) {
            value.kind = ScriptValue::Kind::Boolean;
            value.boolean = text_[pos_ - 4] == 't';
            return true;
        }
        if (Word("new Date(")) {
            value.kind = ScriptValue::Kind::Date;
            do {
                long long part = 0;
                if (!Integer(part)) return false;
                value.date.push_back(part);
            } while (Take(','));
            return Take(')');
        }
        value.kind = ScriptValue::Kind::Number;
        return Integer(value.number);
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
    return Reader(text).Document(value, error);
}

}  // namespace providertest
