// A loopback relay that makes a provider look far away: every connection
// to it is forwarded to the provider, each direction delayed by a fixed
// latency and held to a bandwidth cap of its own (per connection, as a
// long link's window allows). Location lines naming the provider are
// rewritten to name the relay, so the webmail traffic comes through it too.
// Every wait is bounded; the destructor ends all connections.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

struct LinkShape {
    int oneWayDelayMs = 20;
    std::uint64_t bytesPerSecond = 4 << 20;  // per connection and direction
};

class SlowLink {
public:
    SlowLink(std::uint16_t upstreamPort, LinkShape shape);
    ~SlowLink();
    SlowLink(const SlowLink&) = delete;
    SlowLink& operator=(const SlowLink&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    int Connections() const { return connections_; }

private:
    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void Accept();
    void Relay(int client, Connection& connection);

    const std::uint16_t upstream_;
    const LinkShape shape_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::list<Connection> live_;
    std::thread acceptor_;
};

}  // namespace testsupport
