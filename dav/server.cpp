#include "dav/server.h"

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
    return "http://" + options_.address + ':' + std::to_string(Port()) + '/' + options_.token + '/';
}

bool Server::Start(std::string& error) {
    if (!IsLoopbackAddress(options_.address)) {
        error = "only loopback addresses (127.x.x.x) can be served: serving " + options_.address +
                " would need TLS and a password, which vantlo-dav does not offer yet";
        return false;
    }
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
        slots_.emplace_back(new Slot);
        Slot& slot = *slots_.back();
        slot.connection = std::move(connection);
        slot.thread = std::thread([this, &slot] { Serve(slot); });
    }
}

void Server::Serve(Slot& slot) {
    HttpConnection http(*slot.connection, options_.http);
    for (bool first = true; !stop_.StopRequested(); first = false) {
        Request request;
        HeadResult head = http.ReadHead(request, first);
        if (head == HeadResult::Closed || head == HeadResult::TimedOut) break;
        if (head != HeadResult::Ok) {
            int code = head == HeadResult::TooLarge ? 431 : 400;
            http.Send(ResponseHead(code, {{"Content-Length", "0"}, {"Connection", "close"}}));
            break;
        }
        if (!handler_->Handle(request, http)) break;
    }
    // Marked first so the acceptor can count the slot free as soon as the
    // client sees the close.
    slot.done = true;
    slot.connection->Shutdown();
}

}  // namespace dav
