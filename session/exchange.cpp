#include "session/exchange.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/backoff.h"
#include "platform/thread_note.h"
#include "session/body_decoder.h"
#include "session/cells.h"
#include "session/http_head.h"

namespace session {

bool Answer::Append(const char* piece, std::size_t length, AppendMode mode) {
    if (mode == AppendMode::Text) {
        const void* zero = std::memchr(piece, 0, length);
        if (zero) length = static_cast<std::size_t>(static_cast<const char*>(zero) - piece);
    }
    std::size_t room = capacity_ - text_.size();
    if (length > room) {
        text_.append(piece, room);
        return false;
    }
    text_.append(piece, length);
    return text_.size() < capacity_;
}

std::string_view Answer::Header() const {
    std::string_view all = text_;
    std::size_t end = all.find("\r\n\r\n");
    return end == std::string_view::npos ? all : all.substr(0, end);
}

std::string_view Answer::Body() const {
    std::string_view all = text_;
    std::size_t end = all.find("\r\n\r\n");
    return end == std::string_view::npos ? std::string_view() : all.substr(end + 4);
}

Request& Request::operator<<(std::string_view piece) {
    if (overflowed_) return *this;
    if (text_.size() + piece.size() > capacity_) {
        overflowed_ = true;
        return *this;
    }
    text_.append(piece);
    return *this;
}

Request& Request::Line(std::string_view line) {
    return *this << line << "\r\n";
}

std::string CookieLine(const Session& session) {
    std::string line = "Cookie: ";
    line.append(CellText(session.sInfoCookie));
    line.append(CellText(session.pInfoCookie));
    line.append(CellText(session.ntesSessCookie));
    line.append(CellText(session.coremailCookie));
    return line;
}

namespace {
constexpr int kMs = 1000;
thread_local platform::ThreadNote lastTlsProblem;
}  // namespace

std::string LastTlsProblem() {
    return lastTlsProblem.Text();
}

Status Connection::Open(const Endpoint& endpoint, Style style, int waitSeconds) {
    Close();
    lastTlsProblem.Clear();
    Status status = Connect(endpoint, style, waitSeconds);
    // A blocking send waits until the peer has taken all it was given, past
    // every bound; without blocking, each wait is one of ours.
    if (status == Status::Ok) socket_.SetNonBlocking(true);
    if (status == Status::Ok && endpoint.scheme == Scheme::Https) status = StartTls(endpoint);
    return status;
}

Status Connection::StartTls(const Endpoint& endpoint) {
    tls_ = std::make_unique<net::TlsStream>();
    net::TlsOutcome outcome =
        tls_->Start(socket_, net::TlsPeer{endpoint.certificateName, endpoint.caFile}, limits_.idleTimeoutMs);
    if (outcome == net::TlsOutcome::Ready) return Status::Ok;
    if (outcome != net::TlsOutcome::TimedOut) lastTlsProblem.Set(tls_->Problem());
    Close();
    switch (outcome) {
    case net::TlsOutcome::CertificateRefused: return Status::CertificateRefused;
    case net::TlsOutcome::TimedOut: return Status::TimedOut;
    default: return Status::SecureChannelFailed;
    }
}

void Connection::Close() {
    if (tls_) tls_->Shutdown();
    tls_.reset();
    socket_.Close();
}

Status Connection::Connect(const Endpoint& endpoint, Style style, int waitSeconds) {
    net::Address address;
    if (!net::Resolve(endpoint.dialHost, endpoint.port, address))
        return style == Style::Plain ? Status::ConnectFailed : Status::HostUnresolved;

    if (style == Style::Plain) {
        // One attempt, bounded by the idle limit instead of the system's
        // own connect time-out.
        if (!socket_.Open()) return Status::ConnectFailed;
        return net::ConnectBounded(socket_, address, limits_.idleTimeoutMs) ? Status::Ok : Status::ConnectFailed;
    }

    int attemptWaitMs = std::min(waitSeconds * kMs, limits_.idleTimeoutMs);
    int attempts = std::max(1, limits_.connectAttempts);
    // Attempts count the tries; the pause between them stays the same.
    platform::Backoff pauses({limits_.connectRetryPauseMs, limits_.connectRetryPauseMs,
                              attempts * (attemptWaitMs + limits_.connectRetryPauseMs), false});
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0 && !pauses.Wait()) break;
        if (!socket_.Open()) return Status::ConnectIndeterminate;
        socket_.SetAbortiveLinger();
        if (net::ConnectBounded(socket_, address, attemptWaitMs)) return Status::Ok;
    }
    socket_.Close();
    return Status::ConnectWaitFailed;
}

bool Connection::Idle() {
    if (!socket_.IsOpen()) return false;
    return (tls_ ? tls_->WaitReadable(0) : socket_.WaitReadable(0)) == net::WaitResult::TimedOut;
}

net::WaitResult Connection::WaitSliced(bool forWrite, int sliceSeconds) {
    // Waits in slices of the style's own length, but never longer in all
    // than the idle limit.
    int sliceMs = sliceSeconds > 0 ? sliceSeconds * kMs : limits_.idleTimeoutMs;
    int remaining = waitCapMs_ > 0 ? std::min(waitCapMs_, limits_.idleTimeoutMs) : limits_.idleTimeoutMs;
    while (remaining > 0) {
        int wait = std::min(sliceMs, remaining);
        net::WaitResult result = tls_ ? (forWrite ? tls_->WaitWritable(wait) : tls_->WaitReadable(wait))
                                      : (forWrite ? socket_.WaitWritable(wait) : socket_.WaitReadable(wait));
        if (result != net::WaitResult::TimedOut) return result;
        remaining -= wait;
    }
    return net::WaitResult::TimedOut;
}

Status Connection::SendAll(const char* data, std::size_t length, Style style, int waitSeconds,
                           const std::function<void(std::size_t)>& onSent) {
    std::size_t position = 0;
    while (position < length) {
        net::WaitResult ready = WaitSliced(true, style == Style::Guarded ? waitSeconds : 0);
        if (ready == net::WaitResult::Failed) return Status::SendWaitFailed;
        if (ready == net::WaitResult::TimedOut) return Status::TimedOut;
        const char* from = data + position;
        long sent = tls_ ? tls_->Send(from, length - position) : socket_.Send(from, length - position);
        if (tls_ && sent == 0) continue;  // the record is still going out: wait again
        if (!tls_ && sent < 0 && net::LastErrorIsWouldBlock()) continue;
        if (sent <= 0) return Status::SendFailed;
        position += static_cast<std::size_t>(sent);
        if (onSent) onSent(static_cast<std::size_t>(sent));
    }
    return Status::Ok;
}

Status Connection::ReceivePiece(char* buffer, std::size_t capacity, Style style, int waitSeconds, std::size_t& received,
                                bool& failed) {
    received = 0;
    failed = false;
    long got = -1;
    do {  // a wake-up without data waits again
        net::WaitResult ready = WaitSliced(false, style == Style::Guarded ? waitSeconds : 0);
        if (ready == net::WaitResult::Failed) return Status::ReceiveWaitFailed;
        if (ready == net::WaitResult::TimedOut) return Status::TimedOut;
        got = tls_ ? tls_->Receive(buffer, capacity) : socket_.Receive(buffer, capacity);
    } while (!tls_ && got < 0 && net::LastErrorIsWouldBlock());
    if (got < 0) failed = true;
    if (got > 0) received = static_cast<std::size_t>(got);
    return Status::Ok;
}

Status ReadAnswer(Connection& connection, Style style, int waitSeconds, AppendMode mode, const ExchangeLimits& limits,
                  Answer& answer, bool firstPieceEnds) {
    answer.Clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.answerTimeoutMs);
    auto piece = std::make_unique<char[]>(kReceivePiece);
    std::string head;  // until the blank line has come
    bool inBody = false;
    BodyDecoder decoder;
    const BodySink sink = [&](const char* data, std::size_t length) {
        answer.Append(data, length, mode);
        return true;
    };
    for (;;) {
        std::size_t received = 0;
        bool failed = false;
        Status status = connection.ReceivePiece(piece.get(), kReceivePiece, style, waitSeconds, received, failed);
        if (status != Status::Ok) return status;
        if (received == 0) {
            if (!inBody) {
                answer.Append(head.data(), head.size(), AppendMode::Bytes);
                return StartsLikeHttp(head) ? Status::Incomplete : Status::Unreadable;
            }
            // A reset connection may have cut even an answer that ends with the close.
            if (failed && !decoder.Complete()) return Status::Incomplete;
            return decoder.Finish();
        }
        if (inBody) {
            status = decoder.Feed(piece.get(), received, sink);
        } else {
            std::size_t from = head.size() < 3 ? 0 : head.size() - 3;
            head.append(piece.get(), received);
            std::size_t end = head.find("\r\n\r\n", from);
            if (end == std::string::npos) {
                if (head.size() >= answer.Capacity()) return Status::AnswerTooLarge;
            } else {
                if (StatusCode(head) == 0) return Status::Unreadable;
                inBody = true;
                answer.Append(head.data(), end + 4, AppendMode::Bytes);
                if (end + 4 > answer.Capacity()) return Status::AnswerTooLarge;
                status = decoder.Start(std::string_view(head).substr(0, end), answer.Capacity() - (end + 4));
                if (status == Status::Ok) status = decoder.Feed(head.data() + end + 4, head.size() - end - 4, sink);
                head.clear();
            }
        }
        if (status != Status::Ok) return status;
        if (inBody && (decoder.Complete() || (firstPieceEnds && decoder.Unframed()))) return Status::Ok;
        if (std::chrono::steady_clock::now() >= deadline) return Status::TimedOut;
    }
}

Status Exchange(const Endpoint& endpoint, const Request& request, const ExchangeStyle& style,
                const ExchangeLimits& limits, Answer& answer) {
    answer.Clear();
    if (request.Overflowed()) return Status::RequestTooLarge;
    Connection connection(limits);
    Status status = connection.Open(endpoint, style.connect, style.connectWaitSeconds);
    if (status != Status::Ok) return status;
    status = connection.SendAll(request.Text().data(), request.Size(), style.send, style.sendWaitSeconds);
    if (status != Status::Ok) return status;
    return ReadAnswer(connection, style.receive, style.receiveWaitSeconds, style.append, limits, answer);
}

}  // namespace session
