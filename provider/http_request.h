// A request as the roles see it: request line, header lines, and how long
// its body is. Parsing of the head text is separate from reading it off the
// socket, so it can be tested on plain texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace provider {

struct HttpRequest {
    std::string method;
    std::string target;  // as sent: path and query
    std::string path;
    std::string query;  // after "?", still encoded
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers;  // names as sent, values trimmed

    // The first header of that name, compared without regard to case.
    const std::string* Header(std::string_view name) const;
    // Every header of that name, joined with "; " (what several Cookie lines mean).
    std::string JoinedHeader(std::string_view name) const;
};

// Parses the head up to (not including) the blank line. Lines may end in
// CR LF or a bare LF. False when the request line or a header line is
// malformed, or the version is not HTTP/1.x.
bool ParseRequestHead(std::string_view head, HttpRequest& request);

enum class BodyLength {
    None,         // no Content-Length, no Transfer-Encoding
    Known,        // Content-Length, valid
    Invalid,      // not a number, too large, or several that disagree
    Unsupported,  // Transfer-Encoding (chunked bodies are not taken)
};

BodyLength ReadBodyLength(const HttpRequest& request, std::uint64_t& length);

}  // namespace provider
