// The password of the command-line programs: VANTLO_PASSWORD when it is
// set, else one line of standard input (a trailing CR dropped, so a line
// typed or piped on Windows reads the same).
#pragma once

#include <string>

namespace platform {

std::string ReadPasswordInput();

}  // namespace platform
