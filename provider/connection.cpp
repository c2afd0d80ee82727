#include "connection.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <climits>

namespace provider {

namespace {

using Clock = std::chrono::steady_clock;

// Waits for `events`; Ok when the socket is ready (or has an error or
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

int MsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// One step of a TLS call that could not finish: waits until the socket can
// do what the call needs, within the deadline. Closed or Failed when the
// call ended the connection instead.
IoResult AwaitTls(ssl_st* ssl, int fd, int result, Clock::time_point deadline) {
    switch (SSL_get_error(ssl, result)) {
    case SSL_ERROR_WANT_READ: return WaitFor(fd, POLLIN, MsUntil(deadline));
    case SSL_ERROR_WANT_WRITE: return WaitFor(fd, POLLOUT, MsUntil(deadline));
    case SSL_ERROR_ZERO_RETURN: return IoResult::Closed;
    case SSL_ERROR_SYSCALL:
        return (errno == 0 || errno == ECONNRESET || errno == EPIPE) ? IoResult::Closed : IoResult::Failed;
    default: return IoResult::Failed;
    }
}

}  // namespace

void Connection::SslFree::operator()(ssl_st* ssl) const {
    SSL_free(ssl);
}

Connection::Connection(UniqueFd fd, int idleTimeoutMs) : fd_(std::move(fd)), idleTimeoutMs_(idleTimeoutMs) {}

Connection::~Connection() = default;

IoResult Connection::AcceptTls(ssl_ctx_st* context, std::string& why) {
    ssl_.reset(SSL_new(context));
    int flags = ::fcntl(fd_.Get(), F_GETFL);
    if (!ssl_ || flags < 0 || ::fcntl(fd_.Get(), F_SETFL, flags | O_NONBLOCK) != 0 ||
        SSL_set_fd(ssl_.get(), fd_.Get()) != 1) {
        why = "cannot set up TLS on the connection";
        return IoResult::Failed;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(idleTimeoutMs_);
    for (;;) {
        ERR_clear_error();
        int result = SSL_accept(ssl_.get());
        if (result == 1) return IoResult::Ok;
        unsigned long error = ERR_peek_error();
        IoResult waited = AwaitTls(ssl_.get(), fd_.Get(), result, deadline);
        if (waited == IoResult::Ok) continue;
        if (waited == IoResult::TimedOut) {
            why = "the handshake did not end within the idle time";
        } else if (error != 0) {
            char text[256];
            ERR_error_string_n(error, text, sizeof text);
            why = text;
        } else {
            why = "the peer closed during the handshake";
        }
        return waited;
    }
}

IoResult Connection::ReadPlain(char* buffer, std::size_t capacity, std::size_t& received, int waitMs) {
    for (;;) {
        IoResult waited = WaitFor(fd_.Get(), POLLIN, waitMs);
        if (waited != IoResult::Ok) return waited;
        ssize_t n = ::recv(fd_.Get(), buffer, capacity, MSG_DONTWAIT);
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            return IoResult::Ok;
        }
        if (n == 0) return IoResult::Closed;
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        if (errno == ECONNRESET) return IoResult::Closed;
        return IoResult::Failed;
    }
}

IoResult Connection::Read(char* buffer, std::size_t capacity, std::size_t& received, int waitMs) {
    received = 0;
    if (waitMs < 0) waitMs = idleTimeoutMs_;
    if (!ssl_) {
        IoResult result = ReadPlain(buffer, capacity, received, waitMs);
        received_ += received;
        return result;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        ERR_clear_error();
        int n = SSL_read(ssl_.get(), buffer, static_cast<int>(capacity < INT_MAX ? capacity : INT_MAX));
        if (n > 0) {
            received = static_cast<std::size_t>(n);
            received_ += received;
            return IoResult::Ok;
        }
        IoResult waited = AwaitTls(ssl_.get(), fd_.Get(), n, deadline);
        if (waited != IoResult::Ok) return waited;
    }
}

IoResult Connection::SendAll(std::string_view data) {
    while (!data.empty()) {
        if (ssl_) {
            ERR_clear_error();
            int n = SSL_write(ssl_.get(), data.data(), static_cast<int>(data.size() < INT_MAX ? data.size() : INT_MAX));
            if (n > 0) {
                data.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            IoResult waited =
                AwaitTls(ssl_.get(), fd_.Get(), n, Clock::now() + std::chrono::milliseconds(idleTimeoutMs_));
            if (waited != IoResult::Ok) return waited;
            continue;
        }
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
    if (ssl_) {
        // One try: the close_notify goes out when the socket takes it; the
        // peer's own is not waited for.
        ERR_clear_error();
        SSL_shutdown(ssl_.get());
    }
    ::shutdown(fd_.Get(), SHUT_WR);
}

void Connection::Drain(std::uint64_t maxBytes, int maxMs) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(maxMs);
    char scratch[16384];
    std::uint64_t dropped = 0;
    while (dropped < maxBytes) {
        int left = MsUntil(deadline);
        if (left <= 0) return;
        // A peer silent for the idle time is not waited for any longer.
        // What is dropped needs no decrypting: the socket's bytes are read
        // as they are.
        std::size_t got = 0;
        if (ReadPlain(scratch, sizeof scratch, got, left < idleTimeoutMs_ ? left : idleTimeoutMs_) != IoResult::Ok)
            return;
        dropped += got;
    }
}

}  // namespace provider
