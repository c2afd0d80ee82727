// One HTTP/1.1 exchange: connect, send the whole request, read the answer
// (to its end, or until the server closes), shut down and close. A
// session's script requests keep their connection instead
// (kept_connection.h). Two styles,
// as the operations have always used them: guarded (waits watched with
// time-outs) and plain (blocking). Every wait is bounded by the session's
// ExchangeLimits, so no operation hangs on a silent server.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/net.h"
#include "platform/tls.h"
#include "session/provider_directory.h"
#include "session/session.h"
#include "session/status.h"

namespace session {

enum class Style { Plain, Guarded };

// How received pieces join the answer: byte for byte, or as zero-terminated
// text (a zero byte inside a piece cuts that piece short).
enum class AppendMode { Bytes, Text };

struct ExchangeStyle {
    Style connect = Style::Plain;
    int connectWaitSeconds = 0;
    Style send = Style::Plain;
    int sendWaitSeconds = 0;
    Style receive = Style::Plain;
    int receiveWaitSeconds = 0;
    AppendMode append = AppendMode::Text;
    // Sending the request twice does no harm (it only reads): it may go
    // again on a new connection when a kept one was found closed.
    bool resendable = false;
};

constexpr std::size_t kAnswerCapacity = 204800;
constexpr std::size_t kReceivePiece = 10200;

// The answer of one exchange: its header, the blank line, and the body as
// decoded from its framing and coding; never longer than its capacity
// (kAnswerCapacity unless the operation reads longer answers, such as
// pages of up to 200 messages).
class Answer {
public:
    explicit Answer(std::size_t capacity = kAnswerCapacity) : capacity_(capacity) {}
    std::size_t Capacity() const { return capacity_; }
    // Returns false once the answer is full (the rest is cut off).
    bool Append(const char* piece, std::size_t length, AppendMode mode);
    std::string_view Text() const { return text_; }
    // Everything before the first CR LF CR LF (all of it when there is none).
    std::string_view Header() const;
    // Everything after the first CR LF CR LF (empty when there is none).
    std::string_view Body() const;
    void Clear() { text_.clear(); }

private:
    std::size_t capacity_;
    std::string text_;
};

// A request assembled within a fixed capacity. Appending past it marks the
// request as overflowed instead of cutting it; such a request is never sent.
class Request {
public:
    explicit Request(std::size_t capacity) : capacity_(capacity) {}
    Request& operator<<(std::string_view piece);
    Request& Line(std::string_view line);  // the line and CR LF
    bool Overflowed() const { return overflowed_; }
    const std::string& Text() const { return text_; }
    std::size_t Size() const { return text_.size(); }

private:
    std::size_t capacity_;
    std::string text_;
    bool overflowed_ = false;
};

// The Cookie line of every request after the sign-in: the four pieces in the
// order S_INFO, P_INFO, NTES_SESS, Coremail, each already ending in ";".
std::string CookieLine(const Session& session);

// Why the latest connection of this thread that ended in
// Status::CertificateRefused or Status::SecureChannelFailed failed: names
// the host and the reason. Empty when that connection did not fail so.
std::string LastTlsProblem();

// An open connection, for the operations that send or receive in their own
// way (upload, download). The socket closes with the object. An https
// endpoint is spoken to through TLS: Open returns only once the server's
// certificate has passed, so nothing is sent to a server that failed it.
class Connection {
public:
    explicit Connection(const ExchangeLimits& limits) : limits_(limits) {}
    ~Connection() { Close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Status Open(const Endpoint& endpoint, Style style, int waitSeconds);
    // Sends all bytes; onSent is told of every partial send.
    Status SendAll(const char* data, std::size_t length, Style style, int waitSeconds,
                   const std::function<void(std::size_t)>& onSent = {});
    // One receive of at most `capacity` bytes. `received` is 0 when the server
    // closed; `failed` is set when the receive itself reported an error.
    Status ReceivePiece(char* buffer, std::size_t capacity, Style style, int waitSeconds, std::size_t& received,
                        bool& failed);
    void Close();
    // Caps every later wait at `ms` (0: only the idle bound), for a
    // transfer's low-speed bound.
    void CapWaits(int ms) { waitCapMs_ = ms; }
    void SetLimits(const ExchangeLimits& limits) { limits_ = limits; }
    // Open, and nothing has come since the last answer: not even the
    // server's end of the connection.
    bool Idle();

private:
    Status Connect(const Endpoint& endpoint, Style style, int waitSeconds);
    Status StartTls(const Endpoint& endpoint);
    net::WaitResult WaitSliced(bool forWrite, int sliceSeconds);
    ExchangeLimits limits_;
    int waitCapMs_ = 0;
    net::Socket socket_;
    std::unique_ptr<net::TlsStream> tls_;  // set for https; speaks over socket_
};

// Reads one answer from an open connection into `answer` (cleared first):
// the header, then the body as the header frames and codes it. Ends when
// the body is complete or the server closes; Incomplete when it closed
// too early, Unreadable when the answer is not HTTP or its coding is
// damaged, AnswerTooLarge past the answer's capacity, TimedOut when the whole
// answer takes longer than limits.answerTimeoutMs. `firstPieceEnds`: an
// answer framed by nothing but the close ends with its first piece (for a
// server asked to keep the connection open).
Status ReadAnswer(Connection& connection, Style style, int waitSeconds, AppendMode mode, const ExchangeLimits& limits,
                  Answer& answer, bool firstPieceEnds = false);

// Runs one whole exchange. `answer` is cleared first.
Status Exchange(const Endpoint& endpoint, const Request& request, const ExchangeStyle& style,
                const ExchangeLimits& limits, Answer& answer);

}  // namespace session
