#include "http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "connection.h"
#include "connection_log.h"
#include "router.h"

namespace provider {

bool HttpServer::Listen(const std::string& address, std::uint16_t port, std::string& error) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1 || (ntohl(where.sin_addr.s_addr) >> 24) != 127) {
        error = "refusing to listen on " + address + ": only loopback addresses (127.x.x.x) are served";
        return false;
    }
    listener_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    int yes = 1;
    if (!listener_ || ::setsockopt(listener_.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
        ::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(listener_.Get(), 256) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t size = sizeof where;
    ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&where), &size);
    port_ = ntohs(where.sin_port);
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot make the wake-up pipe: ") + std::strerror(errno);
        return false;
    }
    wakeRead_.Reset(wake[0]);
    wakeWrite_.Reset(wake[1]);
    return true;
}

bool HttpServer::Stopping() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return stopping_;
}

void HttpServer::Stop() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(wakeWrite_.Get(), &byte, 1);
}

bool HttpServer::WaitForRoom() {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [this] { return stopping_ || active_.size() < kMaxConnections; });
    return !stopping_;
}

void HttpServer::Run() {
    for (;;) {
        if (!WaitForRoom()) break;
        pollfd watch[2] = {{listener_.Get(), POLLIN, 0}, {wakeRead_.Get(), POLLIN, 0}};
        int ready = ::poll(watch, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || (watch[1].revents & POLLIN) != 0 || Stopping()) break;
        if ((watch[0].revents & POLLIN) == 0) continue;
        int fd = ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors or a connection that went away before it
            // was taken: wait a moment rather than spin.
            if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        {
            std::lock_guard<std::mutex> hold(mutex_);
            active_.insert(fd);
        }
        try {
            std::thread(&HttpServer::Serve, this, fd).detach();
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> hold(mutex_);
            active_.erase(fd);
            ::close(fd);
        }
    }
    listener_.Reset();
    StopConnections();
}

void HttpServer::StopConnections() {
    std::unique_lock<std::mutex> hold(mutex_);
    // Wakes every connection out of its wait; each then ends on its own.
    for (int fd : active_) ::shutdown(fd, SHUT_RDWR);
    if (!changed_.wait_for(hold, std::chrono::seconds(5), [this] { return active_.empty(); }))
        std::fprintf(stderr, "vantlo-provider: %zu connections did not end in time\n", active_.size());
}

void HttpServer::Serve(int fd) {
    Connection connection{UniqueFd(fd), context_.idleTimeoutMs};
    int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    ConnectionLog* log = context_.log;
    const std::uint64_t logId = log != nullptr ? log->NextId() : 0;
    if (log != nullptr) log->Write(logId, context_.tls != nullptr ? "open tls" : "open plain");
    std::string why;
    if (context_.tls == nullptr || connection.AcceptTls(context_.tls, why) == IoResult::Ok)
        ServeConnection(context_, connection, logId);
    else if (log != nullptr)
        log->Write(logId, "tls-failed " + why);
    if (log != nullptr) log->Write(logId, "close received=" + std::to_string(connection.Received()));
    // The descriptor leaves the set before it is closed (when `connection`
    // goes), so Stop never shuts down a number that has been reused. After
    // the unlock this thread touches nothing of the server any more.
    std::lock_guard<std::mutex> hold(mutex_);
    active_.erase(fd);
    changed_.notify_all();
}

}  // namespace provider
