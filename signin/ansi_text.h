// Texts in the system's ANSI code page (GBK on the systems the program is
// made for): cutting them to a byte count without splitting a double-byte
// character, copying them into fixed buffers, comparing them without regard
// to case, and reading them out of windows.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace signin {

// The longest head of `text` that fits in maxBytes and does not end in the
// middle of a double-byte character.
std::string CutAnsi(const std::string& text, std::size_t maxBytes);

// Zero-fills `out` and copies as much of `text` as fits before the final
// zero (cut by CutAnsi).
template <std::size_t N>
void CopyToBuffer(char (&out)[N], const std::string& text) {
    static_assert(N > 0, "a buffer needs room for its terminating zero");
    std::memset(out, 0, N);
    std::string cut = CutAnsi(text, N - 1);
    std::memcpy(out, cut.data(), cut.size());
}

// Equal without regard to case, as the registry compares names.
bool EqualNoCase(const std::string& a, const std::string& b);

// The window's text converted to the ANSI code page: at most maxUnits
// UTF-16 units are taken, and the result is cut to maxBytes.
std::string WindowTextAnsi(HWND window, std::size_t maxUnits, std::size_t maxBytes);

}  // namespace signin
