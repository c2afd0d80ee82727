// Reads a request off a connection: the head within a size bound and a
// time bound, then the body, either whole (small bodies) or piece by piece
// (uploads).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "connection.h"
#include "http_request.h"

namespace provider {

constexpr std::size_t kMaxHeadBytes = 16 * 1024;

enum class HeadOutcome {
    Ok,
    Closed,    // the peer closed or sent nothing within the wait
    TimedOut,  // part of a head came, the rest not within the wait
    TooLarge,  // no blank line within kMaxHeadBytes
    Malformed,
};

// On Ok, `rest` holds the bytes received after the head: the body's start.
// The whole head must arrive within `headWaitMs`. `head`, when given,
// receives the head's bytes (all that came, when no blank line did).
HeadOutcome ReadRequestHead(Connection& connection, int headWaitMs, HttpRequest& request, std::string& rest,
                            std::string* head = nullptr);

// The body of one request: `length` bytes, of which `start` already came
// with the head. Bytes past `length` are not the body and are dropped.
class BodyReader {
public:
    BodyReader(Connection& connection, std::string start, std::uint64_t length);

    std::uint64_t Remaining() const { return remaining_; }
    // The next piece; `received` 0 with Ok means the body is complete.
    IoResult Read(char* buffer, std::size_t capacity, std::size_t& received);
    // The whole rest of the body into `body` (the caller bounds the length).
    IoResult ReadAll(std::string& body);

private:
    Connection& connection_;
    std::string start_;
    std::size_t startPos_ = 0;
    std::uint64_t remaining_;
};

}  // namespace provider
