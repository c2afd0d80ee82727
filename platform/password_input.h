// The password of the command-line programs: VANTLO_PASSWORD when it is
// set, else one line of standard input (a trailing CR dropped, so a line
// typed or piped on Windows reads the same). Typed on a terminal, the
// line is not echoed.
#pragma once

#include <string>

namespace platform {

std::string ReadPasswordInput();
// One line of standard input, not echoed when it comes from a terminal
// (the line end the user typed is echoed to standard error instead).
std::string ReadHiddenLine();
// A secret kept in a file (--user-password-file, --vault-passphrase-file):
// its first line, without the line end. False when the file cannot be read
// or that line is empty.
bool ReadSecretFile(const std::string& file, std::string& secret);

}  // namespace platform
