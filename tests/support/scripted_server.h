// A one-connection-at-a-time loopback server for fault tests: it records the
// bytes of each request it receives and answers with a scripted reply, or
// misbehaves (stalls, tears the connection) as told.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct Reply {
    enum class Kind {
        Answer,       // send `bytes`, then close
        AnswerStall,  // send `bytes`, then keep the connection open silently
        Stall,        // accept and never answer nor close
        CloseAtOnce,  // close without reading or answering
    };
    Kind kind = Kind::Answer;
    std::string bytes;
    // Wait for this many request bytes (or the blank line ending the header
    // plus Content-Length) before answering.
    bool readWholeRequest = true;
    int stallMs = 5000;  // how long a stall lasts at most
};

class ScriptedServer {
public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

    // Replies are used in order, one per connection; the last one repeats.
    void Push(Reply reply);
    void PushAnswer(const std::string& bytes);

    // Requests received so far, in order of arrival.
    std::vector<std::string> Requests();
    // Waits until at least n requests have arrived (bounded).
    bool WaitForRequests(std::size_t n, int timeoutMs = 5000);
    int Connections() const { return connections_; }

private:
    void Run();
    void Serve(int client, const Reply& reply);
    Reply NextReply();

    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Reply> replies_;
    Reply last_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// "HTTP/1.1 200 OK\r\n" + headers + "\r\n" + body, with Content-Length.
std::string HttpAnswer(const std::string& body, const std::string& extraHeaders = "");

// A script answer that accepts and lists `objects`:
// {'code':'S_OK','var':[object,object,...]}
std::string OkListAnswer(const std::vector<std::string>& objects);

// A loopback port on which nothing listens (connects are refused).
std::uint16_t ClosedPort();

}  // namespace testsupport
