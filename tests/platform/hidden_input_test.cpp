// A passphrase typed on a terminal is not echoed (a pseudo-terminal stands
// in for the user's).
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/password_input.h"

namespace {

TEST(HiddenInput, ALineTypedOnATerminalIsReadButNotEchoed) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::string line = platform::ReadHiddenLine();
        std::printf("read %s\n", line == "s3cret phrase" ? "whole" : "wrong");
        std::fflush(stdout);
        _exit(0);
    }
    // Typed once the reader has turned the echo off, as a person would.
    termios mode{};
    for (int i = 0; i < 200 && tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ECHO); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(mode.c_lflag & ECHO);
    ASSERT_EQ(write(terminal, "s3cret phrase\n", 14), 14);
    std::string shown;
    char chunk[256];
    for (pollfd fd{terminal, POLLIN, 0}; poll(&fd, 1, 5000) > 0;) {
        const ssize_t got = read(terminal, chunk, sizeof chunk);
        if (got <= 0) break;
        shown.append(chunk, static_cast<std::size_t>(got));
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(terminal);
    EXPECT_NE(shown.find("read whole"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("s3cret"), std::string::npos) << shown;
}

}  // namespace
