// One accepted TCP connection with bounded waits: every read and send
// waits at most a given time, so a silent or stalled peer cannot hold a
// thread forever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "unique_fd.h"

namespace provider {

enum class IoResult {
    Ok,
    Closed,    // the peer closed (or the server is stopping)
    TimedOut,  // nothing moved within the wait
    Failed,    // the socket reported an error
};

class Connection {
public:
    Connection(UniqueFd fd, int idleTimeoutMs) : fd_(std::move(fd)), idleTimeoutMs_(idleTimeoutMs) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int Fd() const { return fd_.Get(); }
    int IdleTimeoutMs() const { return idleTimeoutMs_; }

    // Up to `capacity` bytes into `buffer`, waiting at most `waitMs`
    // (the idle time when negative).
    IoResult Read(char* buffer, std::size_t capacity, std::size_t& received, int waitMs = -1);
    // All of `data`, waiting at most the idle time for each piece to go.
    IoResult SendAll(std::string_view data);
    void ShutdownSend();
    // Reads and drops what the peer still sends, until it closes, falls
    // silent for the idle time, or `maxBytes` or `maxMs` are reached:
    // closing a socket with unread data would reset the connection and
    // could destroy the answer before the peer has read it.
    void Drain(std::uint64_t maxBytes, int maxMs);

private:
    UniqueFd fd_;
    int idleTimeoutMs_;
};

}  // namespace provider
