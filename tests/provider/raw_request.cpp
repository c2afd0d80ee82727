#include "raw_request.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "loopback_socket.h"

namespace providertest {

RawConnection::RawConnection(std::uint16_t port) : fd_(testsupport::LoopbackSocket(port, false)) {}

RawConnection::~RawConnection() {
    if (fd_ >= 0) ::close(fd_);
}

bool RawConnection::Send(std::string_view bytes) {
    while (!bytes.empty() && fd_ >= 0) {
        const long sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return fd_ >= 0;
}

void RawConnection::ShutdownSend() {
    ::shutdown(fd_, SHUT_WR);
}

std::string RawConnection::Read(int waitMs, bool* closed, bool firstPiece) {
    std::string data;
    char piece[65536];
    bool ended = false;  // by the server: a close or a reset
    for (pollfd ready{fd_, POLLIN, 0}; fd_ >= 0 && ::poll(&ready, 1, waitMs) == 1;) {
        const long got = ::recv(fd_, piece, sizeof piece, 0);
        if ((ended = got <= 0)) break;
        data.append(piece, static_cast<std::size_t>(got));
        if (firstPiece) break;
    }
    if (closed != nullptr) *closed = ended;
    return data;
}

std::string RawExchange(std::uint16_t port, std::string_view request, int waitMs, bool* closed) {
    RawConnection connection(port);
    connection.Send(request);
    return connection.Read(waitMs, closed);
}

std::string BodyOf(std::string_view answer) {
    const std::size_t blank = answer.find("\r\n\r\n");
    return blank == std::string_view::npos ? std::string() : std::string(answer.substr(blank + 4));
}

}  // namespace providertest
