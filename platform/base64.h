// Base64 (RFC 4648, with padding): the one encoder of the program. Mail
// bodies and headers use it through imap/transfer_coding.h, HTTP Basic
// credentials in the WebDAV server directly.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

inline constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view bytes);
// Base64 of `size` bytes at `out`, which must have room for
// (size + 2) / 3 * 4 characters; returns the end of what it wrote.
char* Base64Run(const unsigned char* in, std::size_t size, char* out);

}  // namespace platform
