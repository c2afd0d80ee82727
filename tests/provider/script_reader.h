// A strict reader of the provider's script text, for the tests only: it
// accepts exactly objects, arrays, single-quoted texts (escapes \' \\ \n
// \r \t and \uXXXX, surrogate pairs joined), integers, true/false and
// new Date(...), with blanks and line breaks between tokens. Anything else
// fails, so a malformed answer shows.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace providertest {

struct ScriptValue {
    enum class Kind { Object, Array, Text, Number, Boolean, Date };
    Kind kind = Kind::Object;
    std::vector<std::pair<std::string, ScriptValue>> members;  // in order
    std::vector<ScriptValue> items;
    std::string text;
    long long number = 0;
    bool boolean = false;
    std::vector<long long> date;

    // The member of that key, or nullptr.
    const ScriptValue* Get(std::string_view key) const;
    // The text of the member of that key, or "" when there is none.
    std::string Text(std::string_view key) const { return Get(key) != nullptr ? Get(key)->text : std::string(); }
    std::vector<std::string> Keys() const;
};

bool ParseScript(std::string_view text, ScriptValue& value, std::string& error);

}  // namespace providertest
