// Saved passwords are kept protected for the current user (the system's
// data protection, CryptProtectData), never as plain text: only the same
// user on the same machine can turn the stored bytes back into the password.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace signin {

std::optional<std::vector<unsigned char>> ProtectPassword(const std::string& password);

// Nothing when the bytes are not a protected password of this user (or were
// changed).
std::optional<std::string> UnprotectPassword(const std::vector<unsigned char>& stored);

}  // namespace signin
