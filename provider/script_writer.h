// Writes the answers of the webmail functions in the provider's script
// text: {'code':'S_OK','var':[...]}. Keys and text values stand in single
// quotes (a quote inside as \', a backslash as \\, line breaks and tabs as
// \n \r \t, other control characters as \u00XX), numbers and booleans
// bare, dates as new Date(y,m0,d,h,mi,s) with the month counted from 0.
// A writer may also be asked to write every character beyond ASCII as
// \uXXXX (UTF-16 units), as some answers of the field's provider do.
//
// The field style writes what the provider in the field writes: a line
// break after every "{" and after every "," that separates members or
// items. The commas inside a date's parentheses stay on their line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "local_date.h"

namespace provider {

enum class AnswerStyle { Neat, Field };

// 'text' with the escapes above; with `asciiOnly`, beyond ASCII as \uXXXX.
std::string ScriptQuote(std::string_view text, bool asciiOnly = false);

class ScriptWriter {
public:
    explicit ScriptWriter(AnswerStyle style) : style_(style) {}

    AnswerStyle Style() const { return style_; }
    // Text values from here on with every character beyond ASCII escaped.
    void EscapeBeyondAscii(bool on) { asciiOnly_ = on; }

    ScriptWriter& BeginObject();
    ScriptWriter& EndObject();
    ScriptWriter& BeginArray();
    ScriptWriter& EndArray();
    // 'key': inside an object; the value must follow.
    ScriptWriter& Key(std::string_view key);
    ScriptWriter& Text(std::string_view value);
    ScriptWriter& Number(std::int64_t value);
    ScriptWriter& Boolean(bool value);
    ScriptWriter& Date(const DateParts& date);             // six numbers
    ScriptWriter& DayDate(int year, int month0, int day);  // three numbers

    // Key and value in one call.
    ScriptWriter& Member(std::string_view key, std::string_view text) { return Key(key).Text(text); }
    ScriptWriter& Member(std::string_view key, std::int64_t number) { return Key(key).Number(number); }
    ScriptWriter& MemberBool(std::string_view key, bool value) { return Key(key).Boolean(value); }

    const std::string& Result() const { return out_; }

private:
    struct Level {
        bool isObject;
        bool empty = true;
    };
    void Separate();     // "," (and a line break in the field style) before every member or item but the first
    void BeforeValue();  // an array item gets its separator here; a member got it from Key

    AnswerStyle style_;
    bool asciiOnly_ = false;
    std::string out_;
    std::vector<Level> levels_;
};

}  // namespace provider
