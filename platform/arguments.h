// The command line as UTF-8 texts. On Windows argv arrives in the ANSI code
// page, which cannot hold every name; the wide command line can.
#pragma once

#include <string>
#include <vector>

namespace platform {

std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Makes the console show UTF-8 output as such (Windows); nothing elsewhere.
void UseUtf8Console();

}  // namespace platform
