// What both TLS implementations share and nothing else needs.
#pragma once

#include <chrono>
#include <string>

#include "platform/tls.h"

namespace net {

// A point in time that a series of waits must not pass.
class Deadline {
public:
    explicit Deadline(int timeoutMs)
        : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0)) {}
    // Milliseconds left, 0 once the deadline has passed.
    int RemainingMs() const {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
        return left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }

private:
    std::chrono::steady_clock::time_point end_;
};

// The text of TlsStream::Problem(): "the certificate of HOST was refused:
// WHY" or "the secure connection to HOST failed: WHY".
std::string DescribeTlsProblem(TlsOutcome outcome, const std::string& host, const std::string& why);

}  // namespace net
