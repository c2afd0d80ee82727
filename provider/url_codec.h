// Percent-decoding of query strings and form bodies, cookie lines, and the
// percent-encoding of a file name for Content-Disposition.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace provider {

using FieldList = std::vector<std::pair<std::string, std::string>>;

// %XX becomes its byte; a "%" not followed by two hex digits stays as it is,
// so a client that sends a raw "%" still gets through. With plusIsSpace
// (form bodies) "+" becomes a space; in a query it stays "+".
std::string PercentDecode(std::string_view text, bool plusIsSpace);

// "a=1&b=2": names and values decoded; a field without "=" has an empty value.
FieldList ParseFields(std::string_view text, bool plusIsSpace);
inline FieldList ParseQuery(std::string_view query) {
    return ParseFields(query, false);
}
inline FieldList ParseForm(std::string_view body) {
    return ParseFields(body, true);
}

// The first field of that name, or nullptr.
const std::string* FindField(const FieldList& fields, std::string_view name);

// "A=1; B=2;C=3;": pieces split at ";", blanks around names and values trimmed.
FieldList ParseCookies(std::string_view cookieLine);

// Every byte but letters, digits and "-._~" as %XX (RFC 3986 unreserved).
std::string PercentEncode(std::string_view text);

}  // namespace provider
