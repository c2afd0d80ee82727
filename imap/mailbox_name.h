// Folder names on the wire: IMAP's modified UTF-7.
#pragma once

#include <string>

namespace imap {

// Folder names: UTF-8 <-> modified UTF-7. Decoding fails on malformed input.
std::string EncodeMailboxName(const std::string& utf8);
bool DecodeMailboxName(const std::string& name, std::string& utf8);

}  // namespace imap
