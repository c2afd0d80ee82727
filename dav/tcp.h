// The server side of TCP for the WebDAV server: a listening socket and the
// connections it accepts, with every wait bounded. Posix and Winsock differ
// only inside tcp.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace dav {

class Connection {
public:
    explicit Connection(std::intptr_t handle) : handle_(handle) {}
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Whatever must happen before the first request (a TLS handshake),
    // within `timeoutMs`; false ends the connection.
    virtual bool Begin(int timeoutMs) {
        (void)timeoutMs;
        return true;
    }
    // Bytes received (> 0), 0 when the peer closed, -1 on an error or when
    // nothing came within `timeoutMs`.
    virtual long Receive(char* data, std::size_t capacity, int timeoutMs);
    // Sends all bytes; false on an error or when the peer takes nothing for
    // `timeoutMs`.
    virtual bool SendAll(const char* data, std::size_t size, int timeoutMs);
    bool SendAll(const std::string& data, int timeoutMs) { return SendAll(data.data(), data.size(), timeoutMs); }
    // Ends the connection now (a later Receive returns -1).
    void Shutdown();

    // The socket, handed to a wrapper that owns it from then on.
    std::intptr_t TakeHandle();

protected:
    std::intptr_t Handle() const { return handle_; }

private:
    std::intptr_t handle_;
};

class Listener {
public:
    Listener() = default;
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds a dotted-quad IPv4 address; port 0 takes a free one.
    bool Listen(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t Port() const { return port_; }
    // A connection accepted within `timeoutMs`, or null.
    std::unique_ptr<Connection> Accept(int timeoutMs);

private:
    std::intptr_t handle_ = -1;
    std::uint16_t port_ = 0;
};

// True for 127.0.0.0/8.
bool IsLoopbackAddress(const std::string& address);

}  // namespace dav
