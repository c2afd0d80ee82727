#include "fault_server.h"

#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "loopback_socket.h"

namespace testsupport {

namespace {
constexpr int kHoldMs = 10000;  // longest a stall or trickle keeps a connection

bool Readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

// The header is complete and Content-Length body bytes followed.
bool RequestComplete(const std::string& data) {
    std::size_t end = data.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    std::size_t cl = data.find("Content-Length: ");
    std::size_t length = cl < end ? std::strtoul(data.c_str() + cl + 16, nullptr, 10) : 0;
    return data.size() >= end + 4 + length;
}

std::string ReadRequest(int fd) {
    std::string data;
    char buffer[65536];
    while (Readable(fd, 5000)) {
        ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        data.append(buffer, static_cast<std::size_t>(got));
        if (RequestComplete(data)) break;
    }
    return data;
}

// Ends an answer as the fault says: a reset, silence until the client
// closes (or the bound passes), or a close once the next request came;
// else a plain close.
void EndAnswer(int client, Action::Fault fault, const std::atomic<bool>& stopping) {
    if (fault == Action::Reset) {
        linger abort{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    if (fault == Action::Drop) ReadRequest(client);
    char sink[4096];
    for (int waited = 0; fault == Action::Stall && waited < kHoldMs && !stopping; waited += 50)
        if (Readable(client, 50) && ::recv(client, sink, sizeof sink, 0) <= 0) return;
}
}  // namespace

FaultServer::FaultServer(std::uint16_t upstreamPort, const TlsIdentity& tls) : upstream_(upstreamPort) {
    if (!tls.certificateFile.empty()) {
        tls_ = SSL_CTX_new(TLS_server_method());
        if (SSL_CTX_use_certificate_chain_file(tls_, tls.certificateFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(tls_, tls.keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
            SSL_CTX_free(tls_);
            tls_ = nullptr;
        }
    }
    listener_ = LoopbackSocket(port_, true);
    last_ = upstream_ ? Forward() : Script(HttpAnswer(""));
    thread_ = std::thread([this] { Run(); });
}

FaultServer::~FaultServer() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::close(listener_);
    thread_.join();
    if (tls_) SSL_CTX_free(tls_);
}

void FaultServer::Push(Action action) {
    std::lock_guard<std::mutex> lock(mutex_);
    actions_.push_back(std::move(action));
}

std::vector<std::string> FaultServer::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void FaultServer::Run() {
    while (!stopping_) {
        if (!Readable(listener_, 100)) continue;
        int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::unique_lock<std::mutex> lock(mutex_);
        Action action = actions_.empty() ? last_ : actions_.front();
        if (!actions_.empty()) actions_.pop_front();
        if (!upstream_) last_ = action;
        lock.unlock();
        ++connections_;
        if (!Serve(client, action)) {
            lock.lock();
            actions_.push_front(action);
            lock.unlock();
        }
        ::close(client);
    }
}

// Sends answer bytes as the action's fault allows; false once the fault
// has ended the answer (the connection is then reset, held or closed).
bool FaultServer::Send(int client, const std::string& bytes, const Action& action, std::size_t& sent) {
    if (sent == 0) trickleEnd_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHoldMs);
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t take = bytes.size() - i;
        if (action.fault == Action::Trickle) {
            take = 1;
            if (sent >= action.after) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (stopping_ || std::chrono::steady_clock::now() > trickleEnd_) return false;
        } else if (action.fault != Action::None) {
            if (sent >= action.after) {
                EndAnswer(client, action.fault, stopping_);
                return false;
            }
            if (take > action.after - sent) take = action.after - sent;
        }
        ssize_t n = ::send(client, bytes.data() + i, take, MSG_NOSIGNAL);
        if (n <= 0) return false;
        i += static_cast<std::size_t>(n);
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void FaultServer::ServeTls(int client, const Action& action) {
    timeval bound{5, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    SSL* ssl = SSL_new(tls_);
    SSL_set_fd(ssl, client);
    std::string request;
    if (SSL_accept(ssl) == 1) {
        char buffer[16384];
        for (int n; !RequestComplete(request) && (n = SSL_read(ssl, buffer, sizeof buffer)) > 0;)
            request.append(buffer, static_cast<std::size_t>(n));
        SSL_write(ssl, action.bytes.data(), static_cast<int>(action.bytes.size()));
        SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    Record(request);
}

bool FaultServer::Serve(int client, const Action& action) {
    if (tls_) return ServeTls(client, action), true;
    std::size_t sent = 0;
    if (action.kind == Action::Answer) {
        Record(ReadRequest(client));
        if (Send(client, action.bytes, action, sent)) EndAnswer(client, action.fault, stopping_);
        return true;
    }
    Action effective = action;
    std::uint16_t upstream = upstream_;
    int server = LoopbackSocket(upstream, false);
    if (server < 0) return true;
    const std::string theirs = "127.0.0.1:" + std::to_string(upstream_), mine = HostPort();
    std::string request;
    bool headerDone = false;
    pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    char buffer[65536];
    while (!stopping_ && ::poll(fds, 2, kHoldMs) > 0) {
        if (fds[0].revents) {
            ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
            // An action is one connection: the server behind is asked to
            // close it after its answer, so it carries one request.
            std::string piece(buffer, static_cast<std::size_t>(n));
            const std::string keep = "Connection: keep-alive\r\n";
            if (std::size_t at = piece.find(keep); at != std::string::npos && at < piece.find("\r\n\r\n"))
                piece.replace(at, keep.size(), "Connection: close\r\n");
            if (::send(server, piece.data(), piece.size(), MSG_NOSIGNAL) <= 0) break;
        }
        if (fds[1].revents) {
            ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            std::string piece(buffer, static_cast<std::size_t>(n));
            for (std::size_t at; !headerDone && (at = piece.find(theirs)) != std::string::npos;)
                piece.replace(at, theirs.size(), mine);
            headerDone = headerDone || piece.find("\r\n\r\n") != std::string::npos;
            if (sent == 0 && request.find(action.onlyWhen) == std::string::npos) effective.fault = Action::None;
            if (!Send(client, piece, effective, sent)) break;
        }
    }
    ::close(server);
    Record(request);
    return effective.fault != Action::None || action.fault == Action::None;
}

void FaultServer::Record(const std::string& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
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

}  // namespace testsupport
