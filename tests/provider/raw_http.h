// A tiny HTTP client for the provider tests: sends bytes exactly as given
// over a fresh loopback connection and reads the answer until the server
// closes (or a bound passes). No parsing shared with the session code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace providertest {

struct RawAnswer {
    bool connected = false;
    bool closedByServer = false;  // the server ended the connection (not our time bound)
    int status = 0;               // 0 when no status line could be read
    std::string head;             // up to, not including, the blank line
    std::string body;
    std::string raw;

    // Values of every header line with that name (case-insensitive).
    std::vector<std::string> Headers(std::string_view name) const;
    std::string Header(std::string_view name) const;  // first, or empty
};

// Connects to 127.0.0.1:port, sends `request`, reads until close or until
// `waitMs` pass without data.
RawAnswer Exchange(std::uint16_t port, std::string_view request, int waitMs = 10000);
// Splits raw answer bytes into status, head and body.
RawAnswer ParseAnswer(std::string raw);

// Owner of a connected loopback socket, for tests that hold connections.
class RawSocket {
public:
    explicit RawSocket(std::uint16_t port);
    ~RawSocket();
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;
    bool Connected() const { return fd_ >= 0; }
    bool Send(std::string_view bytes);
    // Reads until the server closes or `waitMs` pass without data.
    std::string ReadUntilClosed(int waitMs, bool* closed = nullptr);
    // One read of whatever is there within `waitMs`.
    std::string ReadSome(int waitMs);
    void ShutdownSend();
    void Close();

private:
    int fd_ = -1;
};

// Descriptors the process holds now (entries of /proc/PID/fd).
int CountDescriptors(int pid);

std::string XmlEscape(std::string_view text);

}  // namespace providertest

namespace providertest {

// The process whose command line holds "--data DIR": how the tests find a
// provider's process id to count its descriptors.
int FindProcessWithData(const std::string& dataDir);

}  // namespace providertest
