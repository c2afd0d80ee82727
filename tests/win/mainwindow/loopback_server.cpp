#include "loopback_server.h"

#include <ws2tcpip.h>

#include <chrono>

namespace wintest {

namespace {
struct WinsockStarted {
    WinsockStarted() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};

SOCKET BoundLoopbackSocket(std::uint16_t& port) {
    static WinsockStarted started;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    int length = sizeof(address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
}
}  // namespace

LoopbackServer::LoopbackServer(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {
    listener_ = BoundLoopbackSocket(port_);
    if (listener_ == INVALID_SOCKET || listen(listener_, 4) != 0) return;
    thread_ = std::thread(&LoopbackServer::Serve, this);
}

LoopbackServer::~LoopbackServer() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
}

std::vector<std::string> LoopbackServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackServer::Serve() {
    while (!stopping_) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        timeval wait{0, 50000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        ++connections_;
        std::string request;
        char buffer[2048];
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (request.find("\r\n\r\n") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            int got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0) break;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        for (const std::string& piece : pieces_) {
            send(client, piece.data(), static_cast<int>(piece.size()), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        shutdown(client, SD_SEND);
        closesocket(client);
    }
}

std::uint16_t ClosedLoopbackPort() {
    std::uint16_t port = 0;
    SOCKET s = BoundLoopbackSocket(port);
    if (s != INVALID_SOCKET) closesocket(s);
    return port;
}

}  // namespace wintest
