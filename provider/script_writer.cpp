#include "script_writer.h"

namespace provider {

std::string ScriptQuote(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('\'');
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '\'' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 0x0F]);
        } else {
            out.push_back(c);
        }
    }
    out.push_back('\'');
    return out;
}

void ScriptWriter::Separate() {
    if (levels_.empty()) return;
    Level& level = levels_.back();
    if (!level.empty) {
        out_.push_back(',');
        if (style_ == AnswerStyle::Field) out_.push_back('\n');
    }
    level.empty = false;
}

void ScriptWriter::BeforeValue() {
    if (!levels_.empty() && !levels_.back().isObject) Separate();
}

ScriptWriter& ScriptWriter::BeginObject() {
    BeforeValue();
    out_.push_back('{');
    if (style_ == AnswerStyle::Field) out_.push_back('\n');
    levels_.push_back(Level{true});
    return *this;
}

ScriptWriter& ScriptWriter::EndObject() {
    if (!levels_.empty()) levels_.pop_back();
    out_.push_back('}');
    return *this;
}

ScriptWriter& ScriptWriter::BeginArray() {
    BeforeValue();
    out_.push_back('[');
    levels_.push_back(Level{false});
    return *this;
}

ScriptWriter& ScriptWriter::EndArray() {
    if (!levels_.empty()) levels_.pop_back();
    out_.push_back(']');
    return *this;
}

ScriptWriter& ScriptWriter::Key(std::string_view key) {
    Separate();
    out_ += ScriptQuote(key);
    out_.push_back(':');
    return *this;
}

ScriptWriter& ScriptWriter::Text(std::string_view value) {
    BeforeValue();
    out_ += ScriptQuote(value);
    return *this;
}

ScriptWriter& ScriptWriter::Number(std::int64_t value) {
    BeforeValue();
    out_ += std::to_string(value);
    return *this;
}

ScriptWriter& ScriptWriter::Boolean(bool value) {
    BeforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

ScriptWriter& ScriptWriter::Date(const DateParts& date) {
    BeforeValue();
    out_ += "new Date(" + std::to_string(date.year) + "," + std::to_string(date.month0) + "," +
            std::to_string(date.day) + "," + std::to_string(date.hour) + "," + std::to_string(date.minute) + "," +
            std::to_string(date.second) + ")";
    return *this;
}

ScriptWriter& ScriptWriter::DayDate(int year, int month0, int day) {
    BeforeValue();
    out_ += "new Date(" + std::to_string(year) + "," + std::to_string(month0) + "," + std::to_string(day) + ")";
    return *this;
}

}  // namespace provider
