// Checked copies into the fixed-width, zero-filled text cells that the
// session and its tables are made of. Every write into a cell goes through
// here: values longer than a cell are cut to capacity - 1 bytes (or at a zero
// byte inside them) and the rest of the cell is zero, so a cell is always a
// terminated text.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace session {

inline void SetCell(char* cell, std::size_t capacity, std::string_view value) {
    if (capacity == 0) return;
    // A zero byte inside the value ends the text: what follows it could never
    // be read, and must not sit in the cell behind the terminator.
    std::size_t zero = value.find('\0');
    if (zero != std::string_view::npos) value = value.substr(0, zero);
    std::size_t length = value.size() < capacity - 1 ? value.size() : capacity - 1;
    if (length) std::memcpy(cell, value.data(), length);
    std::memset(cell + length, 0, capacity - length);
}

template <std::size_t N>
void SetCell(char (&cell)[N], std::string_view value) {
    SetCell(cell, N, value);
}

template <std::size_t N>
void ClearCell(char (&cell)[N]) {
    std::memset(cell, 0, N);
}

// The text of a cell (up to its first zero byte, never past its end).
template <std::size_t N>
std::string_view CellText(const char (&cell)[N]) {
    const void* zero = std::memchr(cell, 0, N);
    return std::string_view(cell, zero ? static_cast<const char*>(zero) - cell : N);
}

}  // namespace session
