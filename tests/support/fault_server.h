// A loopback server for fault tests, one connection at a time. Each
// connection takes the next action of a queue: answer with scripted bytes,
// or forward to a real server behind it (asked to close after its answer;
// its own address put in Location lines); either may then misbehave: cut
// the answer, reset the connection, stall or trickle, or keep the
// connection and drop it under the next request. It records every request it receives. Given a
// certificate and key it speaks TLS instead, with scripted answers only
// (and no faults).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct ssl_ctx_st;

namespace testsupport {

struct Action {
    enum Kind { Answer, Forward } kind = Answer;
    std::string bytes;  // the scripted answer
    // Drop: the connection stays open, and the next request on it is read
    // and closed on unanswered (a server that drops a kept connection just
    // as the client sends on it).
    enum Fault { None, Cut, Reset, Stall, Trickle, Drop } fault = None;
    std::size_t after = 0;  // answer bytes that go out before the fault
    // Forwarding only: the fault strikes the first request holding this
    // text; the connections before it are forwarded untouched.
    std::string onlyWhen;
};

inline Action Script(std::string bytes, Action::Fault fault = Action::None, std::size_t after = 0) {
    return Action{Action::Answer, std::move(bytes), fault, after, {}};
}
inline Action Forward(Action::Fault fault = Action::None, std::size_t after = 0) {
    return Action{Action::Forward, "", fault, after, {}};
}

struct TlsIdentity {
    std::string certificateFile;  // PEM, empty: plain TCP
    std::string keyFile;
};

class FaultServer {
public:
    explicit FaultServer(std::uint16_t upstreamPort = 0, const TlsIdentity& tls = {});
    ~FaultServer();
    FaultServer(const FaultServer&) = delete;
    FaultServer& operator=(const FaultServer&) = delete;

    std::uint16_t Port() const { return port_; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    // An empty queue forwards when there is a server behind, else repeats
    // the last action.
    void Push(Action action);
    void PushAnswer(const std::string& bytes) { Push(Script(bytes)); }
    std::vector<std::string> Requests();
    int Connections() const { return connections_; }

private:
    void Run();
    // False when the action waits for a request holding its onlyWhen text.
    bool Serve(int client, const Action& action);
    void ServeTls(int client, const Action& action);
    bool Send(int client, const std::string& bytes, const Action& action, std::size_t& sent);
    void Record(const std::string& request);

    int listener_ = -1;
    ::ssl_ctx_st* tls_ = nullptr;
    std::uint16_t port_ = 0;
    std::uint16_t upstream_ = 0;
    std::atomic<bool> stopping_{false};
    std::chrono::steady_clock::time_point trickleEnd_;  // a trickle lasts no longer
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::deque<Action> actions_;
    Action last_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// "HTTP/1.1 200 OK\r\n" + headers + Content-Length + "\r\n" + body.
std::string HttpAnswer(const std::string& body, const std::string& extraHeaders = "");
// {'code':'S_OK','var':[object,...]}
std::string OkListAnswer(const std::vector<std::string>& objects);

}  // namespace testsupport
