// vantlo-slow-link: the slow-link relay as a program, for scripts/bench.sh.
// Prints "port N" once it listens; ends on SIGTERM, SIGINT, when standard
// input closes, or after SECONDS (default 3600), whichever comes first.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "slow_link.h"

namespace {
volatile std::sig_atomic_t stop = 0;
extern "C" void Stop(int) {
    stop = 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: vantlo-slow-link UPSTREAM_PORT ONE_WAY_DELAY_MS BYTES_PER_SECOND [SECONDS]\n");
        return 2;
    }
    testsupport::LinkShape shape{std::atoi(argv[2]), std::strtoull(argv[3], nullptr, 10)};
    const int seconds = argc > 4 ? std::atoi(argv[4]) : 3600;
    std::signal(SIGTERM, Stop);
    std::signal(SIGINT, Stop);
    testsupport::SlowLink link(static_cast<std::uint16_t>(std::atoi(argv[1])), shape);
    if (link.Port() == 0) return 1;
    std::printf("port %u\n", link.Port());
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!stop && std::chrono::steady_clock::now() < end) {
        pollfd in{0, POLLIN, 0};
        char byte;
        if (::poll(&in, 1, 200) > 0 && ::read(0, &byte, 1) <= 0) break;
    }
    return 0;
}
