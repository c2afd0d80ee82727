// One accepted TCP connection with bounded waits: every read and send
// waits at most a given time, so a silent or stalled peer cannot hold a
// thread forever. Over TLS the same calls carry the decrypted bytes; the
// socket is then non-blocking, so that a record that arrives only in part
// cannot hold a read either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "unique_fd.h"

struct ssl_st;
struct ssl_ctx_st;

namespace provider {

enum class IoResult {
    Ok,
    Closed,    // the peer closed (or the server is stopping)
    TimedOut,  // nothing moved within the wait
    Failed,    // the socket reported an error
};

class Connection {
public:
    Connection(UniqueFd fd, int idleTimeoutMs);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int Fd() const { return fd_.Get(); }
    int IdleTimeoutMs() const { return idleTimeoutMs_; }
    bool Secure() const { return ssl_ != nullptr; }
    // Bytes received so far (decrypted ones over TLS).
    std::uint64_t Received() const { return received_; }

    // Takes the server's side of a TLS handshake, all of it within the
    // idle time; on failure `why` says what went wrong.
    IoResult AcceptTls(ssl_ctx_st* context, std::string& why);
    // Up to `capacity` bytes into `buffer`, waiting at most `waitMs`
    // (the idle time when negative).
    IoResult Read(char* buffer, std::size_t capacity, std::size_t& received, int waitMs = -1);
    // All of `data`, waiting at most the idle time for each piece to go.
    IoResult SendAll(std::string_view data);
    // Ends what this side sends (with a TLS close_notify first).
    void ShutdownSend();
    // Reads and drops what the peer still sends, until it closes, falls
    // silent for the idle time, or `maxBytes` or `maxMs` are reached:
    // closing a socket with unread data would reset the connection and
    // could destroy the answer before the peer has read it.
    void Drain(std::uint64_t maxBytes, int maxMs);

private:
    struct SslFree {
        void operator()(ssl_st* ssl) const;
    };
    IoResult ReadPlain(char* buffer, std::size_t capacity, std::size_t& received, int waitMs);

    UniqueFd fd_;
    int idleTimeoutMs_;
    std::unique_ptr<ssl_st, SslFree> ssl_;
    std::uint64_t received_ = 0;
};

}  // namespace provider
