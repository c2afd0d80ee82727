// A loopback relay in front of the provider that lets the client's bytes
// through at a bounded rate, so an upload lasts long enough for the progress
// display to draw it several times. Answers travel back unhindered.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wintest {

class ThrottledProxy {
public:
    // provider: "127.0.0.1:PORT"; rate in bytes per second towards it.
    ThrottledProxy(const std::string& provider, std::size_t bytesPerSecond)
        : providerPort_(static_cast<unsigned short>(std::stoi(provider.substr(provider.find(':') + 1)))),
          rate_(bytesPerSecond) {
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = Loopback(0);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        int length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(listener_, 16);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~ThrottledProxy() {
        stopping_ = true;
        closesocket(listener_);
        acceptor_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::thread& relay : relays_) relay.join();
    }
    ThrottledProxy(const ThrottledProxy&) = delete;
    ThrottledProxy& operator=(const ThrottledProxy&) = delete;

    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    static sockaddr_in Loopback(unsigned short port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    void AcceptLoop() {
        while (!stopping_) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            std::lock_guard<std::mutex> lock(mutex_);
            relays_.emplace_back([this, client] { Relay(client); });
        }
    }

    // Copies from one socket to the other until the sender closes, then
    // passes the close on. Throttled copies sleep to keep to the rate.
    void Pump(SOCKET from, SOCKET to, bool throttled) {
        char buffer[4096];
        const auto start = std::chrono::steady_clock::now();
        std::size_t total = 0;
        for (;;) {
            int got = recv(from, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            for (int sent = 0; sent < got;) {
                int n = send(to, buffer + sent, got - sent, 0);
                if (n <= 0) return;
                sent += n;
            }
            total += static_cast<std::size_t>(got);
            if (throttled) {
                auto due = start + std::chrono::microseconds(total * 1000000 / rate_);
                std::this_thread::sleep_until(due);
            }
        }
        shutdown(to, SD_SEND);
    }

    void Relay(SOCKET client) {
        SOCKET provider = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = Loopback(providerPort_);
        if (connect(provider, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            closesocket(provider);
            closesocket(client);
            return;
        }
        std::thread answers([&] { Pump(provider, client, false); });
        Pump(client, provider, true);
        answers.join();
        closesocket(provider);
        closesocket(client);
    }

    unsigned short providerPort_;
    std::size_t rate_;
    unsigned short port_ = 0;
    SOCKET listener_ = INVALID_SOCKET;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> relays_;
};

}  // namespace wintest
