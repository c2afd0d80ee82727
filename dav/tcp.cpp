#include "dav/tcp.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>

#include "platform/net.h"

namespace dav {
namespace {

#ifdef _WIN32
using Native = SOCKET;
const Native kInvalid = INVALID_SOCKET;
int PollOne(Native socket, short events, int timeoutMs) {
    WSAPOLLFD fd{socket, events, 0};
    return WSAPoll(&fd, 1, timeoutMs);
}
void CloseNative(Native socket) {
    closesocket(socket);
}
const int kSendFlags = 0;
#else
using Native = int;
const Native kInvalid = -1;
int PollOne(Native socket, short events, int timeoutMs) {
    pollfd fd{socket, events, 0};
    int ready;
    do ready = poll(&fd, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready;
}
void CloseNative(Native socket) {
    close(socket);
}
const int kSendFlags = MSG_NOSIGNAL;
#endif

Native Of(std::intptr_t handle) {
    return static_cast<Native>(handle);
}

}  // namespace

Connection::~Connection() {
    if (Of(handle_) != kInvalid) CloseNative(Of(handle_));
}

std::intptr_t Connection::TakeHandle() {
    const std::intptr_t handle = handle_;
    handle_ = static_cast<std::intptr_t>(kInvalid);
    return handle;
}

long Connection::Receive(char* data, std::size_t capacity, int timeoutMs) {
    if (PollOne(Of(handle_), POLLIN, timeoutMs) <= 0) return -1;
    int chunk = capacity > (1u << 30) ? (1 << 30) : static_cast<int>(capacity);
    long got = recv(Of(handle_), data, chunk, 0);
    return got < 0 ? -1 : got;
}

bool Connection::SendAll(const char* data, std::size_t size, int timeoutMs) {
    while (size) {
        if (PollOne(Of(handle_), POLLOUT, timeoutMs) <= 0) return false;
        int chunk = size > (1u << 30) ? (1 << 30) : static_cast<int>(size);
        long sent = send(Of(handle_), data, chunk, kSendFlags);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void Connection::Shutdown() {
#ifdef _WIN32
    shutdown(Of(handle_), SD_BOTH);
#else
    shutdown(Of(handle_), SHUT_RDWR);
#endif
}

Listener::~Listener() {
    if (Of(handle_) != kInvalid) CloseNative(Of(handle_));
}

bool Listener::Listen(const std::string& address, std::uint16_t port, std::string& error) {
    net::Startup();
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return false;
    }
    Native socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket == kInvalid) {
        error = "no socket";
        return false;
    }
    handle_ = static_cast<std::intptr_t>(socket);
#ifndef _WIN32
    int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
    if (bind(socket, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || listen(socket, 64) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port);
        return false;
    }
    socklen_t length = sizeof where;
    getsockname(socket, reinterpret_cast<sockaddr*>(&where), &length);
    port_ = ntohs(where.sin_port);
    return true;
}

std::unique_ptr<Connection> Listener::Accept(int timeoutMs) {
    if (PollOne(Of(handle_), POLLIN, timeoutMs) <= 0) return nullptr;
    Native socket = accept(Of(handle_), nullptr, nullptr);
    if (socket == kInvalid) return nullptr;
    int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return std::unique_ptr<Connection>(new Connection(static_cast<std::intptr_t>(socket)));
}

bool IsLoopbackAddress(const std::string& address) {
    in_addr parsed{};
    if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) return false;
    return (ntohl(parsed.s_addr) >> 24) == 127;
}

}  // namespace dav
