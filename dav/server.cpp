#include "dav/server.h"

#include <chrono>

#include "dav/locks.h"

namespace dav {

Server::Server(Backend& backend, ServerOptions options) : options_(std::move(options)) {
    if (options_.token.empty()) options_.token = RandomHex(16);
    options_.handler.token = options_.token;
    handler_.reset(new Handler(backend, options_.handler));
}

Server::~Server() {
    Stop();
}

std::string Server::Url() const {
    return std::string(tls_ ? "https://" : "http://") + options_.address + ':' + std::to_string(Port()) + '/' +
           options_.token + '/';
}

bool Server::Start(std::string& error) {
    const bool tls = !options_.tlsCert.empty() || !options_.tlsKey.empty();
    if (!IsLoopbackAddress(options_.address) && (!tls || options_.user.empty())) {
        error = "serving " + options_.address +
                ", beyond this machine, needs TLS (--tls-cert and --tls-key) and a user (--user) whose password "
                "every client must give; without them only 127.x.x.x can be served";
        return false;
    }
    if (tls && (options_.tlsCert.empty() || options_.tlsKey.empty())) {
        error = "TLS needs both a certificate (--tls-cert) and its key (--tls-key)";
        return false;
    }
    if (!options_.user.empty() && !tls) {
        error = "a user's password would cross the network in the clear: --user needs TLS (--tls-cert and --tls-key)";
        return false;
    }
    if (!options_.user.empty() && (options_.password.empty() || options_.user.find(':') != std::string::npos)) {
        error = "the user needs a password, and a user name cannot hold ':'";
        return false;
    }
    if (tls && !(tls_ = TlsServer::Load(options_.tlsCert, options_.tlsKey, error))) return false;
    if (!options_.user.empty()) auth_ = BasicAuth(options_.user, options_.password);
    if (!listener_.Listen(options_.address, options_.port, error)) return false;
    acceptor_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void Server::Stop() {
    stop_.RequestStop();
    if (acceptor_.joinable()) acceptor_.join();
    {
        std::lock_guard<std::mutex> guard(slotsMutex_);
        for (auto& slot : slots_) slot->connection->Shutdown();
    }
    Reap(true);
}

std::size_t Server::Connections() {
    std::lock_guard<std::mutex> guard(slotsMutex_);
    std::size_t busy = 0;
    for (auto& slot : slots_) busy += slot->done ? 0 : 1;
    return busy;
}

void Server::Reap(bool all) {
    std::list<std::unique_ptr<Slot>> finished;
    {
        std::lock_guard<std::mutex> guard(slotsMutex_);
        for (auto it = slots_.begin(); it != slots_.end();) {
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = slots_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& slot : finished) slot->thread.join();
}

void Server::AcceptLoop() {
    while (!stop_.StopRequested()) {
        std::unique_ptr<Connection> connection = listener_.Accept(200);
        Reap(false);
        if (!connection) continue;
        std::lock_guard<std::mutex> guard(slotsMutex_);
        if (slots_.size() >= options_.maxConnections) {
            // Full: say so at once rather than queue the client unbounded.
            connection->SendAll(
                ResponseHead(503, {{"Content-Length", "0"}, {"Connection", "close"}, {"Retry-After", "1"}}), 1000);
            continue;
        }
        if (tls_ && !(connection = tls_->Wrap(std::move(connection)))) continue;
        slots_.emplace_back(new Slot);
        Slot& slot = *slots_.back();
        slot.connection = std::move(connection);
        slot.thread = std::thread([this, &slot] { Serve(slot); });
    }
}

void Server::Serve(Slot& slot) {
    HttpConnection http(*slot.connection, options_.http);
    // The TLS handshake, within the bound of a request head.
    const bool begun = slot.connection->Begin(options_.http.headMs);
    for (bool first = true; begun && !stop_.StopRequested(); first = false) {
        Request request;
        HeadResult head = http.ReadHead(request, first);
        if (head == HeadResult::Closed || head == HeadResult::TimedOut) break;
        if (head != HeadResult::Ok) {
            int code = head == HeadResult::TooLarge ? 431 : 400;
            http.Send(ResponseHead(code, {{"Content-Length", "0"}, {"Connection", "close"}}));
            break;
        }
        bool keep = true;
        if (!Authorized(request, http, keep)) {
            if (keep) continue;
            break;
        }
        if (!handler_->Handle(request, http)) break;
    }
    // Marked first so the acceptor can count the slot free as soon as the
    // client sees the close.
    slot.done = true;
    slot.connection->Shutdown();
}

bool Server::Authorized(const Request& request, HttpConnection& http, bool& keep) {
    const std::string* given = request.Header("authorization");
    if (auth_.Accepts(given)) return true;
    // Wrong credentials cost a second each, so that guessing is slow; a
    // client's first request without any is answered at once.
    if (given) {
        for (int i = 0; i < 10 && !stop_.StopRequested(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // A body is not read for a stranger: the connection ends after the answer.
    std::uint64_t length = 0;
    HttpConnection::BodyKind body = HttpConnection::FrameOf(request, length);
    keep = body == HttpConnection::BodyKind::None || (body == HttpConnection::BodyKind::Length && length == 0);
    std::vector<std::pair<std::string, std::string>> headers{{"WWW-Authenticate", BasicAuth::Challenge()},
                                                             {"Content-Length", "0"}};
    if (!keep) headers.push_back({"Connection", "close"});
    http.Send(ResponseHead(401, headers));
    return false;
}

}  // namespace dav
