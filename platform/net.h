// Thin TCP seam over Winsock and BSD sockets. Everything above this header
// is written once for both systems; only net_win32.cpp / net_posix.cpp differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace net {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;  // SOCKET
#else
using NativeSocket = int;
#endif

// Starts the socket library once per process (WSAStartup on Windows).
void Startup();

// An IPv4 endpoint in host order.
struct Address {
    std::uint32_t ipv4 = 0;
    std::uint16_t port = 0;
};

// Resolves a host name or dotted quad to its first IPv4 address.
bool Resolve(const std::string& host, std::uint16_t port, Address& out);

enum class WaitResult { Ready, TimedOut, Failed };

// Outcome of one connect call, mirroring what connect() can report.
enum class ConnectResult { Connected, InProgress, Failed };

// Owns one TCP socket; closes it (after the three shutdowns) on every path.
class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Creates a fresh stream socket (closing any previous one).
    bool Open();
    bool IsOpen() const;
    void SetNonBlocking(bool on);
    // SO_LINGER switched on with a linger time of 0.
    void SetAbortiveLinger();
    ConnectResult Connect(const Address& to);
    // Waits until the socket is writable (connect finished or send room).
    WaitResult WaitWritable(int timeoutMs);
    WaitResult WaitReadable(int timeoutMs);
    // True when a finished non-blocking connect actually succeeded.
    bool ConnectSucceeded();
    // Returns bytes sent, or -1 on error. Never raises SIGPIPE.
    long Send(const char* data, std::size_t length);
    // Returns bytes received, 0 when the peer closed, -1 on error.
    long Receive(char* data, std::size_t capacity);
    // Shut down receiving, sending, both; then close.
    void Close();
    NativeSocket Native() const { return handle_; }

private:
    NativeSocket handle_ = Invalid();
    static NativeSocket Invalid();
};

// Connects with a bound on the time spent, trying again after transient
// failures. Used where a blocking connect would otherwise wait for the
// system's own (minutes long) time-out.
bool ConnectBounded(Socket& socket, const Address& to, int timeoutMs);

// Why the last ConnectBounded of this thread failed, as the system words
// it, with the address: "connection refused (127.0.0.1:9)". Empty after a
// connect that succeeded.
std::string LastConnectProblem();

// The system's text for a socket error code, in UTF-8, starting in lower
// case and without a closing full stop.
std::string SocketErrorText(int code);

// The last socket error of this thread, for diagnostics.
int LastError();
bool LastErrorIsWouldBlock();

}  // namespace net
