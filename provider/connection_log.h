// --log FILE: what each connection brought, one line per event, so that
// a test can tell whether a request reached the provider at all:
//
//   #7 open tls                     (or plain)
//   #7 tls-failed REASON            the handshake did not complete
//   #7 head TEXT                    a request head as received, escaped (one
//                                   per request: a kept connection has several)
//   #7 close received=N             bytes received after the handshake
//
// Bodies are never written; Cookie and Authorization values and query
// values named like a password are replaced by "***".
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace provider {

class ConnectionLog {
public:
    ConnectionLog() = default;
    ~ConnectionLog();
    ConnectionLog(const ConnectionLog&) = delete;
    ConnectionLog& operator=(const ConnectionLog&) = delete;

    // Appends to `path`; false with a reason when it cannot be opened.
    bool Open(const std::string& path, std::string& error);
    // A number for a new connection.
    std::uint64_t NextId();
    void Write(std::uint64_t id, std::string_view event);
    void Head(std::uint64_t id, std::string_view head);

private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::uint64_t next_ = 1;
};

// The head as it goes into the log: secrets hidden, bytes that are not
// printable ASCII as \r, \n or \xHH.
std::string LoggedHead(std::string_view head);

}  // namespace provider
