// Small pieces the mail codings share: ASCII case, UTF-8 sequences, base64
// sextets (also the alphabet of modified UTF-7).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace imap {

std::string Lower(std::string text);
// Appends the code point as UTF-8.
void AppendUtf8(std::uint32_t point, std::string& out);
// Length of the UTF-8 sequence that starts with `lead` (1 for anything else).
std::size_t SequenceLength(unsigned char lead);
// The value of a base64 character (with `slash` for 63), or -1.
int SextetOf(char c, char slash = '/');
// The value of a hexadecimal digit, or -1.
int HexOf(char c);

}  // namespace imap
