// HTTP/1.1 on one server connection: request heads read within a size and
// a time bound, bodies by Content-Length or chunked, responses written with
// a bounded wait. Knows nothing of WebDAV.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "dav/tcp.h"

namespace dav {

struct HttpLimits {
    std::size_t maxHead = 16 * 1024;  // request line and headers together
    std::size_t maxHeaders = 100;
    int headMs = 15000;  // a whole request head must arrive within this
    int idleMs = 15000;  // an idle kept-alive connection is closed after this
    int ioMs = 15000;    // the longest silence within a body or a response
    // After the grace time a body or a response must average this rate, so
    // a client that trickles a byte now and then cannot hold a connection.
    std::size_t minBytesPerSecond = 1024;
    int graceMs = 30000;
};

struct Request {
    std::string method, target;
    int minorVersion = 1;                                      // HTTP/1.x
    std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    // The header's value; null when absent. Repeated headers are joined by ", ".
    const std::string* Header(const std::string& lowerName) const;
    std::string HeaderOr(const std::string& lowerName, const std::string& fallback = "") const;
};

enum class HeadResult { Ok, Closed, TimedOut, TooLarge, Malformed };

// Parses a request head (without the blank line); for tests and the fuzzer.
HeadResult ParseHead(const std::string& head, std::size_t maxHeaders, Request& request);

class HttpConnection {
public:
    HttpConnection(Connection& connection, const HttpLimits& limits) : connection_(connection), limits_(limits) {}

    HeadResult ReadHead(Request& request, bool first);

    enum class BodyKind { None, Length, Chunked, Invalid };
    // How the request's body is framed; Invalid for framings we refuse.
    static BodyKind FrameOf(const Request& request, std::uint64_t& length);
    void BeginBody(BodyKind kind, std::uint64_t length);
    // Up to `capacity` body bytes; 0 at the end; -1 on a torn, malformed or
    // silent body (the connection is not reusable then).
    long ReadBody(char* data, std::size_t capacity);
    // Reads a whole body of at most `limit` bytes; false when longer or torn.
    bool ReadWholeBody(std::string& body, std::size_t limit);
    // Reads and drops the rest of a body of at most `limit` more bytes.
    bool Discard(std::uint64_t limit);
    bool BodyDone() const { return bodyLeft_ == 0 && !chunked_; }

    bool Send(const std::string& bytes) { return Send(bytes.data(), bytes.size()); }
    bool Send(const char* data, std::size_t size);

private:
    // Counts bytes of one body or one response against the least rate.
    struct Pace {
        std::chrono::steady_clock::time_point start;
        std::uint64_t bytes = 0;
        bool running = false;
        void Begin();
        bool TooSlow(const HttpLimits& limits) const;
    };

    // Fills the buffer; false on a close, error or silence.
    bool Fill(int timeoutMs);
    bool ReadLine(std::string& line, std::size_t limit);

    Connection& connection_;
    HttpLimits limits_;
    std::string buffer_;          // bytes received and not yet used
    std::uint64_t bodyLeft_ = 0;  // of the current chunk or the whole body
    bool chunked_ = false;        // in a chunked body not yet ended
    Pace bodyPace_, sendPace_;
};

// ASCII letters in lower case (header values, methods); other bytes as they are.
std::string LowerAscii(std::string text);
// The reason phrase of a status code.
const char* ReasonPhrase(int code);
// An RFC 1123 date ("Sun, 06 Nov 1994 08:49:37 GMT") and an RFC 3339 one.
std::string HttpDate(std::int64_t seconds);
std::string IsoDate(std::int64_t seconds);
// Seconds since 1970 of an RFC 1123 date; false when it is not one.
bool ParseHttpDate(const std::string& text, std::int64_t& seconds);

}  // namespace dav
