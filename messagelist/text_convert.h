// Conversions between the tables' UTF-8, the system's ANSI code page and the
// windows' UTF-16, into bounded buffers.
#pragma once

#include <cstddef>

namespace messagelist {

// Converts NUL-terminated UTF-8 into `wide`, which has room for `capacity`
// units. A text that does not fit is cut before the first character that
// would not fit (never inside a surrogate pair); the result is always
// terminated. Returns the number of units written, terminator excluded.
std::size_t Utf8ToWide(const char* utf8, wchar_t* wide, std::size_t capacity);

template <std::size_t N>
std::size_t Utf8ToWide(const char* utf8, wchar_t (&wide)[N]) {
    return Utf8ToWide(utf8, wide, N);
}

constexpr int kAnsiToUtf8Capacity = 260;

// Converts NUL-terminated ANSI text to UTF-8. A null input gives 0. With a
// null `out` it returns the bytes the UTF-8 form needs, terminator included.
// Otherwise it writes the UTF-8 form into `out` (260 bytes of room) and
// returns the bytes written, terminator included; when the form would need
// more than 260 bytes, or the conversion fails, it returns 0 and leaves
// `out` untouched.
int AnsiToUtf8(const char* ansi, char* out);

}  // namespace messagelist
