// A one-shot HTTP server on a loopback port for the Windows-side tests:
// accepts connections one at a time, records each request, and answers with
// a scripted text sent in pieces, then closes. Also closed ports, which
// refuse every connection.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wintest {

class LoopbackServer {
public:
    // `pieces` are sent one send() each, with a short pause between them.
    explicit LoopbackServer(std::vector<std::string> pieces);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::vector<std::string> Requests();
    int Connections() const { return connections_.load(); }

private:
    void Serve();
    SOCKET listener_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    std::vector<std::string> pieces_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A loopback port that nothing listens on (bound, then released).
std::uint16_t ClosedLoopbackPort();

}  // namespace wintest
