#include "platform/password_input.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

// Echo off for as long as it lives, when standard input is a terminal.
class EchoOff {
public:
    EchoOff() {
#ifdef _WIN32
        console_ = GetStdHandle(STD_INPUT_HANDLE);
        on_ = console_ != INVALID_HANDLE_VALUE && GetConsoleMode(console_, &mode_) &&
              SetConsoleMode(console_, mode_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
#else
        on_ = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &mode_) == 0;
        if (on_) {
            termios quiet = mode_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            on_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
#endif
    }
    ~EchoOff() {
        if (!on_) return;
#ifdef _WIN32
        SetConsoleMode(console_, mode_);
#else
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &mode_);
#endif
        std::cerr << std::endl;  // the user's Enter was not echoed
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    bool on_ = false;
#ifdef _WIN32
    HANDLE console_;
    DWORD mode_ = 0;
#else
    termios mode_{};
#endif
};

}  // namespace

std::string ReadHiddenLine() {
    std::string line;
    {
        EchoOff quiet;
        std::getline(std::cin, line);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool ReadSecretFile(const std::string& file, std::string& secret) {
    std::ifstream in(std::filesystem::u8path(file), std::ios::binary);
    if (!in || !std::getline(in, secret)) secret.clear();
    if (!secret.empty() && secret.back() == '\r') secret.pop_back();
    return !secret.empty();
}

std::string ReadPasswordInput() {
    if (const char* env = std::getenv("VANTLO_PASSWORD")) return env;
    return ReadHiddenLine();
}

}  // namespace platform
