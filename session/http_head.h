// Reading the head of an HTTP answer, for the transfers that must tell a
// refusal or a cut-off body from a complete one: the status code and the
// values of single header lines.
#pragma once

#include <cstdint>
#include <string_view>

namespace session {

// The code of a status line "HTTP/1.x NNN ..." at the start of `answer`;
// 0 when the text does not start with one.
int StatusCode(std::string_view answer);

// ASCII letters compared without regard to case.
bool EqualsNoCase(std::string_view a, std::string_view b);

// True when `text` is the start of what an HTTP answer could be, however
// little of it came ("", "HT", "HTTP/1.1 200 ...").
bool StartsLikeHttp(std::string_view text);

// True for a status line whose code is 400 or above.
bool IsErrorStatus(std::string_view answer);

// The value of the first header line named `name` (compared without regard
// to case), without the spaces around it. `header` is the text before the
// blank line; the status line is never taken for a header line.
bool HeaderValue(std::string_view header, std::string_view name, std::string_view& value);

enum class LengthField { Absent, Valid, Malformed };

// The Content-Length of a header: Malformed when it is not a plain decimal
// number below 2^63 or when two lines disagree.
LengthField ContentLength(std::string_view header, std::uint64_t& length);

// True when `value` can stand in a request line's query as it is: printable
// ASCII without space and without the characters that would end or split a
// query value (& # % ? ' " < > \).
bool IsPlainQueryValue(std::string_view value);

}  // namespace session
