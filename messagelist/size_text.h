// The size column's text: a decimal byte count shown in BYTE, KB or MB with
// two truncated decimals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace messagelist {

constexpr std::size_t kSizeTextCapacity = 20;

// The byte count at the start of a text: a signed decimal after optional
// blanks, 0 when there are no digits; values beyond 64 bits saturate.
std::int64_t ReadByteCount(const char* text);

// "1023 BYTE", "1.50 KB", "1.04 MB". Negative counts are shown in BYTE, cut
// at -9999999999999 so that every result fits the size text.
std::string SizeTextFor(std::int64_t bytes);

// Rewrites, in place, a size text that holds a decimal byte count.
void FormatSizeText(char (&text)[kSizeTextCapacity]);

}  // namespace messagelist
