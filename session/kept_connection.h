// The connection a session keeps open to the webmail host between script
// requests: each request on a fresh connection pays the TCP and TLS
// handshakes again, three or four round trips on a distant link.
//
// A kept connection is used again only while nothing has arrived on it
// since its last answer (a server that closed it has sent its end). A
// request that finds the connection closed before any answer byte is sent
// once more on a new one only when sending it twice is harmless
// (ExchangeStyle::resendable); a time-out is never sent again, so every
// wait stays bounded as it is for a single exchange. A request that finds
// the connection in use by another thread goes on a connection of its own.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "session/exchange.h"

namespace session {

class KeptConnection {
public:
    Status Exchange(const Endpoint& endpoint, const Request& request, const ExchangeStyle& style,
                    const ExchangeLimits& limits, Answer& answer);
    void Drop();
    // The kept connection for a request of the caller's own (an upload),
    // when it leads to `endpoint` and is still open; nullptr otherwise.
    // Either way none is kept any more: a session holds one connection.
    std::unique_ptr<Connection> Take(const Endpoint& endpoint, const ExchangeLimits& limits);

private:
    std::mutex busy_;
    std::string endpoint_;  // where connection_ leads
    std::unique_ptr<Connection> connection_;
};

// Whether an answer leaves its connection open for another request: it
// says so (HTTP/1.1 without Connection: close, or keep-alive), and its body
// ends by its length or its last chunk rather than by the close.
bool AnswerKeepsConnection(std::string_view header);

}  // namespace session
