#include "request_reader.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace provider {

namespace {

// End of the head: the blank line, after CR LF or bare LF line ends. Sets
// `headEnd` to the head's length without the blank line and `bodyStart`
// past it.
bool FindHeadEnd(const std::string& data, std::size_t& headEnd, std::size_t& bodyStart) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '\n') continue;
        if (i + 1 < data.size() && data[i + 1] == '\n') {
            headEnd = i;
            bodyStart = i + 2;
            return true;
        }
        if (i + 2 < data.size() && data[i + 1] == '\r' && data[i + 2] == '\n') {
            headEnd = i;
            bodyStart = i + 3;
            return true;
        }
    }
    return false;
}

}  // namespace

HeadOutcome ReadRequestHead(Connection& connection, int headWaitMs, HttpRequest& request, std::string& rest,
                            std::string* head) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(headWaitMs);
    std::string data;
    char piece[4096];
    for (;;) {
        std::size_t headEnd = 0, bodyStart = 0;
        const bool found = FindHeadEnd(data, headEnd, bodyStart);
        if (head != nullptr) *head = data.substr(0, found ? headEnd : std::string::npos);
        if (found) {
            if (headEnd > kMaxHeadBytes) return HeadOutcome::TooLarge;
            if (!ParseRequestHead(std::string_view(data).substr(0, headEnd), request)) return HeadOutcome::Malformed;
            rest = data.substr(bodyStart);
            return HeadOutcome::Ok;
        }
        if (data.size() > kMaxHeadBytes + 4) return HeadOutcome::TooLarge;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return data.empty() ? HeadOutcome::Closed : HeadOutcome::TimedOut;
        std::size_t got = 0;
        IoResult result = connection.Read(piece, sizeof piece, got, static_cast<int>(left));
        if (result == IoResult::TimedOut) return data.empty() ? HeadOutcome::Closed : HeadOutcome::TimedOut;
        if (result != IoResult::Ok) return data.empty() ? HeadOutcome::Closed : HeadOutcome::Malformed;
        data.append(piece, got);
    }
}

BodyReader::BodyReader(Connection& connection, std::string start, std::uint64_t length)
    : connection_(connection), start_(std::move(start)), remaining_(length) {
    if (start_.size() > length) start_.resize(static_cast<std::size_t>(length));
}

IoResult BodyReader::Read(char* buffer, std::size_t capacity, std::size_t& received) {
    received = 0;
    if (remaining_ == 0 || capacity == 0) return IoResult::Ok;
    if (startPos_ < start_.size()) {
        std::size_t n = std::min(capacity, start_.size() - startPos_);
        std::memcpy(buffer, start_.data() + startPos_, n);
        startPos_ += n;
        remaining_ -= n;
        received = n;
        return IoResult::Ok;
    }
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, remaining_));
    IoResult result = connection_.Read(buffer, want, received);
    if (result == IoResult::Ok) remaining_ -= received;
    return result;
}

IoResult BodyReader::ReadAll(std::string& body) {
    body.clear();
    body.reserve(static_cast<std::size_t>(remaining_));
    char piece[16384];
    while (remaining_ > 0) {
        std::size_t got = 0;
        IoResult result = Read(piece, sizeof piece, got);
        if (result != IoResult::Ok) return result;
        body.append(piece, got);
    }
    return IoResult::Ok;
}

}  // namespace provider
