// Hand-made requests, for the tests that must send what the session
// library never would (malformed, cut short, held open): a plain loopback
// connection, bytes in and bytes out, every wait bounded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace providertest {

class RawConnection {
public:
    explicit RawConnection(std::uint16_t port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool Send(std::string_view bytes);
    void ShutdownSend();
    int Fd() const { return fd_; }  // for a TLS handshake over it
    // Reads until the server closes (`closed` then true) or `waitMs` pass
    // without data; with `firstPiece`, only what the first read brings.
    std::string Read(int waitMs, bool* closed = nullptr, bool firstPiece = false);

private:
    int fd_;
};

// One request on a connection of its own, read until the server closes it.
std::string RawExchange(std::uint16_t port, std::string_view request, int waitMs = 10000, bool* closed = nullptr);
// What follows the blank line of an answer's text (nothing is decoded).
std::string BodyOf(std::string_view answer);

}  // namespace providertest
