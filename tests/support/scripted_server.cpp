#include "scripted_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace testsupport {

namespace {
int ListenLoopback(std::uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t length = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    port = ntohs(addr.sin_port);
    return fd;
}

// Reads until the header is complete and Content-Length body bytes followed.
std::string ReadRequest(int fd, bool whole) {
    std::string data;
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) break;
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        data.append(buffer, static_cast<std::size_t>(got));
        if (!whole) break;
        std::size_t end = data.find("\r\n\r\n");
        if (end == std::string::npos) continue;
        std::size_t length = 0;
        std::size_t cl = data.find("Content-Length: ");
        if (cl != std::string::npos && cl < end) length = std::strtoul(data.c_str() + cl + 16, nullptr, 10);
        if (data.size() >= end + 4 + length) break;
    }
    return data;
}
}  // namespace

ScriptedServer::ScriptedServer() {
    listener_ = ListenLoopback(port_);
    last_.bytes = HttpAnswer("");
    thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
}

void ScriptedServer::Push(Reply reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.push_back(std::move(reply));
}

void ScriptedServer::PushAnswer(const std::string& bytes) {
    Reply reply;
    reply.bytes = bytes;
    Push(reply);
}

Reply ScriptedServer::NextReply() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!replies_.empty()) {
        last_ = replies_.front();
        replies_.pop_front();
    }
    return last_;
}

std::vector<std::string> ScriptedServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

bool ScriptedServer::WaitForRequests(std::size_t n, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= n; });
}

void ScriptedServer::Run() {
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        ++connections_;
        Serve(client, NextReply());
        ::close(client);
    }
}

void ScriptedServer::Serve(int client, const Reply& reply) {
    if (reply.kind == Reply::Kind::CloseAtOnce) {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.emplace_back();
        arrived_.notify_all();
        return;
    }
    std::string request = ReadRequest(client, reply.readWholeRequest);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
        arrived_.notify_all();
    }
    if (reply.kind != Reply::Kind::Stall) {
        std::size_t sent = 0;
        while (sent < reply.bytes.size()) {
            ssize_t n = ::send(client, reply.bytes.data() + sent, reply.bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
    }
    if (reply.kind == Reply::Kind::Stall || reply.kind == Reply::Kind::AnswerStall) {
        // Stay silent until the client gives up (closes) or the stall ends.
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(reply.stallMs);
        char sink[4096];
        while (!stopping_ && std::chrono::steady_clock::now() < until) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0 && ::recv(client, sink, sizeof sink, 0) <= 0) break;
        }
    }
}

std::string HttpAnswer(const std::string& body, const std::string& extraHeaders) {
    return "HTTP/1.1 200 OK\r\n" + extraHeaders + "Content-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string OkListAnswer(const std::vector<std::string>& objects) {
    std::string body = "{'code':'S_OK','var':[";
    for (std::size_t i = 0; i < objects.size(); ++i) body += (i ? "," : "") + objects[i];
    return body + "]}";
}

std::uint16_t ClosedPort() {
    std::uint16_t port = 0;
    int fd = ListenLoopback(port);
    ::close(fd);  // nothing listens there any more
    return port;
}

}  // namespace testsupport
