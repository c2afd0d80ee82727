// The listening socket and the connections: a thread per connection, at
// most kMaxConnections at once (further connections wait in the listen
// queue), and a clean stop that wakes every connection and waits for it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>

#include "server_context.h"
#include "unique_fd.h"

namespace provider {

class HttpServer {
public:
    static constexpr std::size_t kMaxConnections = 128;

    explicit HttpServer(ServerContext& context) : context_(context) {}
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds a loopback IPv4 address; port 0 picks a free port.
    bool Listen(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t Port() const { return port_; }

    // Accepts until Stop; returns once every connection has ended.
    void Run();
    // From any thread.
    void Stop();
    bool Stopping() const;

private:
    void Serve(int fd);
    bool WaitForRoom();
    void StopConnections();

    ServerContext& context_;
    UniqueFd listener_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    std::uint16_t port_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::set<int> active_;
    bool stopping_ = false;
};

}  // namespace provider
