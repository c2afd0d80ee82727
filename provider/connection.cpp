#include "connection.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

namespace provider {

namespace {

// Waits for `events`; true when the socket is ready (or has an error or
// hang-up to report, which the following call then sees).
IoResult WaitFor(int fd, short events, int waitMs) {
    pollfd entry{fd, events, 0};
    for (;;) {
        int ready = ::poll(&entry, 1, waitMs);
        if (ready > 0) return IoResult::Ok;
        if (ready == 0) return IoResult::TimedOut;
        if (errno != EINTR) return IoResult::Failed;
    }
}

}  // namespace

IoResult Connection::Read(char* buffer, std::size_t capacity, std::size_t& received, int waitMs) {
    received = 0;
    IoResult waited = WaitFor(fd_.Get(), POLLIN, waitMs < 0 ? idleTimeoutMs_ : waitMs);
    if (waited != IoResult::Ok) return waited;
    for (;;) {
        ssize_t n = ::recv(fd_.Get(), buffer, capacity, 0);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return IoResult::Ok;
        }
        if (n == 0) return IoResult::Closed;
        if (errno == EINTR) continue;
        if (errno == ECONNRESET) return IoResult::Closed;
        return IoResult::Failed;
    }
}

IoResult Connection::SendAll(std::string_view data) {
    while (!data.empty()) {
        IoResult waited = WaitFor(fd_.Get(), POLLOUT, idleTimeoutMs_);
        if (waited != IoResult::Ok) return waited;
        ssize_t n = ::send(fd_.Get(), data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        return (n < 0 && (errno == EPIPE || errno == ECONNRESET)) ? IoResult::Closed : IoResult::Failed;
    }
    return IoResult::Ok;
}

void Connection::ShutdownSend() {
    ::shutdown(fd_.Get(), SHUT_WR);
}

void Connection::Drain(std::uint64_t maxBytes, int maxMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(maxMs);
    char scratch[16384];
    std::uint64_t dropped = 0;
    while (dropped < maxBytes) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return;
        // A peer silent for the idle time is not waited for any longer.
        int wait = left < idleTimeoutMs_ ? static_cast<int>(left) : idleTimeoutMs_;
        std::size_t got = 0;
        if (Read(scratch, sizeof scratch, got, wait) != IoResult::Ok) return;
        dropped += got;
    }
}

}  // namespace provider
