// A loopback relay in front of the provider that counts the bytes passed
// towards it and can make it look gone: while down, every connection is
// cut and new ones are closed at once. Every wait is bounded; the
// destructor ends all connections and joins every thread.
#pragma once

#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wintest {

class CutRelay {
public:
    explicit CutRelay(std::uint16_t upstreamPort) : upstreamPort_(upstreamPort) {
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = Loopback(0);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 16);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] { Accept(); });
    }
    ~CutRelay() {
        stopping_ = true;
        closesocket(listener_);
        acceptor_.join();
        CutAll();
        for (std::thread& relay : relays_) relay.join();
    }
    CutRelay(const CutRelay&) = delete;
    CutRelay& operator=(const CutRelay&) = delete;

    std::uint16_t Port() const { return port_; }
    std::uint64_t BytesUp() const { return up_; }
    void GoDown() {
        down_ = true;
        CutAll();
    }
    void ComeBack() { down_ = false; }

private:
    static sockaddr_in Loopback(std::uint16_t port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    void CutAll() {
        std::lock_guard<std::mutex> lock(lock_);
        for (SOCKET s : open_) shutdown(s, SD_BOTH);
    }
    void Accept() {
        for (;;) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;  // closed by the destructor
            if (down_ || stopping_) {
                closesocket(client);
                continue;
            }
            std::lock_guard<std::mutex> lock(lock_);
            relays_.emplace_back([this, client] { Relay(client); });
        }
    }
    void Track(SOCKET s, bool open) {
        std::lock_guard<std::mutex> lock(lock_);
        if (open)
            open_.push_back(s);
        else
            open_.erase(std::remove(open_.begin(), open_.end(), s), open_.end());
    }
    void Relay(SOCKET client) {
        SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = Loopback(upstreamPort_);
        Track(client, true);
        Track(server, true);
        if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) Pump(client, server);
        Track(client, false);
        Track(server, false);
        closesocket(client);
        closesocket(server);
    }
    // Both directions until either side ends or the relay is cut; each wait
    // at most a fifth of a second, so a cut is seen at once.
    void Pump(SOCKET client, SOCKET server) {
        char buffer[16384];
        while (!down_ && !stopping_) {
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(client, &ready);
            FD_SET(server, &ready);
            timeval wait{0, 200000};
            int count = select(0, &ready, nullptr, nullptr, &wait);
            if (count < 0) return;
            for (SOCKET from : {client, server}) {
                if (!FD_ISSET(from, &ready)) continue;
                int got = recv(from, buffer, sizeof buffer, 0);
                if (got <= 0 || down_) return;
                SOCKET to = from == client ? server : client;
                for (int sent = 0; sent < got;) {
                    int n = send(to, buffer + sent, got - sent, 0);
                    if (n <= 0) return;
                    sent += n;
                }
                if (from == client) up_ += static_cast<std::uint64_t>(got);
            }
        }
    }

    std::uint16_t upstreamPort_;
    std::uint16_t port_ = 0;
    SOCKET listener_ = INVALID_SOCKET;
    std::atomic<bool> down_{false}, stopping_{false};
    std::atomic<std::uint64_t> up_{0};
    std::mutex lock_;  // open_ and relays_
    std::vector<SOCKET> open_;
    std::vector<std::thread> relays_;
    std::thread acceptor_;
};

}  // namespace wintest
