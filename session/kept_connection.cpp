#include "session/kept_connection.h"

#include "session/http_head.h"

namespace session {

namespace {
std::string EndpointKey(const Endpoint& endpoint) {
    return std::string(endpoint.scheme == Scheme::Https ? "https " : "http ") + endpoint.dialHost + " " +
           std::to_string(endpoint.port) + " " + endpoint.certificateName + " " + endpoint.caFile;
}

bool HasToken(std::string_view value, std::string_view token) {
    for (std::size_t at = 0; at + token.size() <= value.size(); ++at)
        if (EqualsNoCase(value.substr(at, token.size()), token)) return true;
    return false;
}
}  // namespace

bool AnswerKeepsConnection(std::string_view header) {
    std::string_view connection, coding;
    const bool said = HeaderValue(header, "Connection", connection);
    if (said && HasToken(connection, "close")) return false;
    if (header.substr(0, 9) != "HTTP/1.1 " && !(said && HasToken(connection, "keep-alive"))) return false;
    std::uint64_t length = 0;
    if (HeaderValue(header, "Transfer-Encoding", coding)) return HasToken(coding, "chunked");
    return ContentLength(header, length) == LengthField::Valid;
}

void KeptConnection::Drop() {
    std::unique_lock<std::mutex> hold(busy_, std::try_to_lock);
    if (hold.owns_lock()) connection_.reset();
}

std::unique_ptr<Connection> KeptConnection::Take(const Endpoint& endpoint, const ExchangeLimits& limits) {
    std::unique_lock<std::mutex> hold(busy_, std::try_to_lock);
    if (!hold.owns_lock()) return nullptr;
    std::unique_ptr<Connection> taken = std::move(connection_);
    if (!taken || endpoint_ != EndpointKey(endpoint) || !taken->Idle()) return nullptr;
    taken->SetLimits(limits);
    return taken;
}

Status KeptConnection::Exchange(const Endpoint& endpoint, const Request& request, const ExchangeStyle& style,
                                const ExchangeLimits& limits, Answer& answer) {
    std::unique_lock<std::mutex> hold(busy_, std::try_to_lock);
    if (!hold.owns_lock()) return session::Exchange(endpoint, request, style, limits, answer);
    answer.Clear();
    if (request.Overflowed()) return Status::RequestTooLarge;
    const std::string key = EndpointKey(endpoint);
    bool reused = connection_ && endpoint_ == key && connection_->Idle();
    if (!reused) connection_.reset();
    for (;;) {
        Status status = Status::Ok;
        if (!connection_) {
            connection_ = std::make_unique<Connection>(limits);
            endpoint_ = key;
            status = connection_->Open(endpoint, style.connect, style.connectWaitSeconds);
        }
        connection_->SetLimits(limits);
        if (status == Status::Ok)
            status = connection_->SendAll(request.Text().data(), request.Size(), style.send, style.sendWaitSeconds);
        if (status == Status::Ok)
            status = ReadAnswer(*connection_, style.receive, style.receiveWaitSeconds, style.append, limits, answer);
        if (status == Status::Ok && AnswerKeepsConnection(answer.Header())) return status;
        connection_.reset();
        // Closed by the server between the check and the request, before a
        // byte of the answer came: the request may not have been taken.
        const bool unanswered = status != Status::Ok && status != Status::TimedOut && answer.Text().empty();
        if (!(reused && unanswered && style.resendable)) return status;
        reused = false;
    }
}

}  // namespace session
