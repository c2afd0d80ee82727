#include "platform/net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>

#include <cstring>

namespace net {

void Startup() {}

bool Resolve(const std::string& host, std::uint16_t port, Address& out) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || list == nullptr) return false;
    const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    out.ipv4 = ntohl(in->sin_addr.s_addr);
    out.port = port;
    freeaddrinfo(list);
    return true;
}

NativeSocket Socket::Invalid() {
    return -1;
}

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept : handle_(other.handle_) {
    other.handle_ = Invalid();
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = Invalid();
    }
    return *this;
}

bool Socket::Open() {
    Close();
    handle_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return handle_ >= 0;
}

bool Socket::IsOpen() const {
    return handle_ >= 0;
}

void Socket::SetNonBlocking(bool on) {
    int flags = fcntl(handle_, F_GETFL, 0);
    if (flags < 0) return;
    fcntl(handle_, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

void Socket::SetAbortiveLinger() {
    linger value{};
    value.l_onoff = 1;
    value.l_linger = 0;
    setsockopt(handle_, SOL_SOCKET, SO_LINGER, &value, sizeof value);
}

ConnectResult Socket::Connect(const Address& to) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(to.port);
    addr.sin_addr.s_addr = htonl(to.ipv4);
    int rc;
    do {
        rc = ::connect(handle_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return ConnectResult::Connected;
    if (errno == EINPROGRESS || errno == EWOULDBLOCK) return ConnectResult::InProgress;
    return ConnectResult::Failed;
}

static WaitResult WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) return WaitResult::Failed;
    if (rc == 0) return WaitResult::TimedOut;
    return WaitResult::Ready;
}

WaitResult Socket::WaitWritable(int timeoutMs) {
    return WaitFor(handle_, POLLOUT, timeoutMs);
}
WaitResult Socket::WaitReadable(int timeoutMs) {
    return WaitFor(handle_, POLLIN, timeoutMs);
}

bool Socket::ConnectSucceeded() {
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(handle_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
    if (error != 0) errno = error;
    return error == 0;
}

long Socket::Send(const char* data, std::size_t length) {
    ssize_t rc;
    do {
        rc = ::send(handle_, data, length, MSG_NOSIGNAL);
    } while (rc < 0 && errno == EINTR);
    return static_cast<long>(rc);
}

long Socket::Receive(char* data, std::size_t capacity) {
    ssize_t rc;
    do {
        rc = ::recv(handle_, data, capacity, 0);
    } while (rc < 0 && errno == EINTR);
    return static_cast<long>(rc);
}

void Socket::Close() {
    if (handle_ < 0) return;
    ::shutdown(handle_, SHUT_RD);
    ::shutdown(handle_, SHUT_WR);
    ::shutdown(handle_, SHUT_RDWR);
    ::close(handle_);
    handle_ = -1;
}

std::string SocketErrorText(int code) {
    std::string text = std::strerror(code);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

int LastError() {
    return errno;
}
bool LastErrorIsWouldBlock() {
    return errno == EWOULDBLOCK || errno == EAGAIN || errno == EINPROGRESS;
}

}  // namespace net
