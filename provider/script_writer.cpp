#include "script_writer.h"

namespace provider {

namespace {

void AppendUnit(std::string& out, unsigned long unit) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(unit >> shift) & 0xF]);
}

// The code point of the UTF-8 sequence at `i` (advancing `i`), or the lone
// byte when the sequence is broken.
unsigned long NextCodePoint(std::string_view text, std::size_t& i) {
    unsigned char lead = static_cast<unsigned char>(text[i++]);
    std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra == 0 || text.size() - i < extra) return lead;
    unsigned long point = lead & (0x3F >> extra);
    for (std::size_t k = 0; k < extra; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return lead;
        point = (point << 6) | (next & 0x3F);
    }
    i += extra;
    return point;
}

}  // namespace

std::string ScriptQuote(std::string_view text, bool asciiOnly) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('\'');
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x80 && asciiOnly) {
            unsigned long point = NextCodePoint(text, i);
            if (point >= 0x10000) {
                point -= 0x10000;
                AppendUnit(out, 0xD800 + (point >> 10));
                AppendUnit(out, 0xDC00 + (point & 0x3FF));
            } else {
                AppendUnit(out, point);
            }
            continue;
        }
        ++i;
        if (c == '\'' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n' || c == '\r' || c == '\t') {
            out.push_back('\\');
            out.push_back(c == '\n' ? 'n' : c == '\r' ? 'r' : 't');
        } else if (u < 0x20 || u == 0x7F) {
            AppendUnit(out, u);
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
    out_ += ScriptQuote(value, asciiOnly_);
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
