// The WebDAV server: a listening socket, one thread per connection up to a
// bound, and the handler behind them. Every URI lies below a random token
// that only the one who started the server learns. The acceptor and the
// connection threads are the server's own named place for threads: a
// client waits on its connection, not on the parts engine; the work a
// request hands on (stores, write-back) runs in the catalog's engines.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "dav/backend.h"
#include "dav/basic_auth.h"
#include "dav/handler.h"
#include "dav/http.h"
#include "dav/tcp.h"
#include "dav/tls_server.h"
#include "platform/stop_token.h"

namespace dav {

struct ServerOptions {
    std::string address = "127.0.0.1";
    std::uint16_t port = 0;  // 0: a free one
    std::string token;       // empty: a random one
    std::size_t maxConnections = 32;
    // Beyond this machine all four are needed: the certificate chain and
    // key (PEM files) for TLS, and the one user a client must sign in as.
    std::string tlsCert, tlsKey;
    std::string user, password;
    HttpLimits http;
    HandlerOptions handler;  // its token is filled in by the server
};

class Server {
public:
    Server(Backend& backend, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Listens and starts accepting. An address beyond loopback is refused
    // unless TLS and a user are given; a user is refused without TLS.
    bool Start(std::string& error);
    // Stops accepting, cuts every connection and waits for their threads.
    void Stop();

    std::uint16_t Port() const { return listener_.Port(); }
    const std::string& Token() const { return options_.token; }
    // http://ADDRESS:PORT/TOKEN/ (https with TLS)
    std::string Url() const;
    // Connections being served now (not those told to come back later).
    std::size_t Connections();

private:
    struct Slot {
        std::unique_ptr<Connection> connection;
        std::thread thread;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void Serve(Slot& slot);
    void Reap(bool all);  // joins finished threads (all of them with `all`)
    // Answers 401 unless the request carries the user's credentials; false
    // when the connection must end.
    bool Authorized(const Request& request, HttpConnection& http, bool& keep);

    ServerOptions options_;
    Listener listener_;
    std::unique_ptr<Handler> handler_;
    std::unique_ptr<TlsServer> tls_;  // null: plain HTTP
    BasicAuth auth_;
    std::thread acceptor_;
    platform::StopSource stop_;  // asked by Stop(): the acceptor and every connection end
    std::mutex slotsMutex_;      // guards slots_
    std::list<std::unique_ptr<Slot>> slots_;
};

}  // namespace dav
