// Text conversions between UTF-8 (the session's tables), the system's ANSI
// code page (account names, passwords, registry texts) and UTF-16 (window
// texts and file paths on Windows), and cutting texts to a size without
// splitting a character. Off Windows the "ANSI" code page is taken to be
// UTF-8. The one set of conversions of the program: every window and worker
// uses these.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

#ifdef _WIN32
std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
std::wstring AnsiToWide(const std::string& ansi);
std::string WideToAnsi(const std::wstring& wide);

// At most maxUnits UTF-16 units, never ending between the two halves of a
// surrogate pair.
std::wstring CutWide(std::wstring_view text, std::size_t maxUnits);

// At most maxBytes of ANSI text, never ending inside a double-byte
// character.
std::string CutAnsi(std::string_view text, std::size_t maxBytes);
#endif

std::string AnsiToUtf8(const std::string& ansi);

// At most maxBytes of UTF-8 text, never ending inside a character.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF) and holds no control characters (below 0x20,
// 0x7F): what a name may be to travel in a request and be shown back whole.
bool IsCleanText(std::string_view text);

}  // namespace platform
