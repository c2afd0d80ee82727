// Small files that only the current user may read back: on Linux a file of
// mode 0600 (a file found with any other mode, or another owner, is not
// read); on Windows its bytes sealed for this user with the system's data
// protection (CryptProtectData), as the saved passwords are. Both replace
// the file whole (a temporary file renamed over it), so a reader never
// sees half of one.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace platform {

bool WritePrivateFile(const std::filesystem::path& path, const std::string& bytes);

// False when the file is missing, not private, longer than `limit` bytes,
// or (Windows) not sealed for this user.
bool ReadPrivateFile(const std::filesystem::path& path, std::size_t limit, std::string& bytes);

}  // namespace platform
