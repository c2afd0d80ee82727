// Bytes sealed for the current user with the system's data protection
// (CryptProtectData; Windows only): only the same user on the same machine
// opens them again. The entropy ties sealed bytes to one use: bytes sealed
// with one entropy do not open with another, so each use keeps its own
// text for good (a changed text leaves what was stored with the old one
// unreadable).
#pragma once

#include <optional>
#include <string>

namespace platform {

std::optional<std::string> SealForUser(const std::string& bytes, const std::string& entropy);

// Nothing when `sealed` is empty, was not sealed for this user with this
// entropy, or was changed.
std::optional<std::string> UnsealForUser(const std::string& sealed, const std::string& entropy);

}  // namespace platform
