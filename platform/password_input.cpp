#include "platform/password_input.h"

#include <cstdlib>
#include <iostream>

namespace platform {

std::string ReadPasswordInput() {
    if (const char* env = std::getenv("VANTLO_PASSWORD")) return env;
    std::string line;
    std::getline(std::cin, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace platform
