// RFC 4648 base32 in lower case without padding: sealed names become
// subjects that survive any mail system (letters and digits only).
#pragma once

#include <string>
#include <string_view>

#include "vault/key_derivation.h"

namespace vault {

std::string Base32Text(const Bytes& bytes);
// Either case; false on any other character, on a length no encoding has,
// or on bits left over that are not zero (so each text has one meaning).
bool Base32Bytes(std::string_view text, Bytes& bytes);

}  // namespace vault
