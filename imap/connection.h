// One TCP connection to the IMAP server, plain or TLS (at once, or switched
// on later by STARTTLS), with every wait bounded by the idle limit: a
// server that goes silent ends the read or the send with TimedOut.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "imap/response_reader.h"
#include "platform/net.h"
#include "platform/tls.h"

namespace imap {

class Connection : public ByteSource {
public:
    explicit Connection(int idleTimeoutMs) : idleMs_(idleTimeoutMs) {}
    ~Connection() override { Close(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Outcome Open(const std::string& host, std::uint16_t port);
    // Runs the TLS handshake over the open socket and checks the certificate.
    Outcome StartTls(const net::TlsPeer& peer);
    bool Secure() const { return tls_ != nullptr; }

    Outcome Send(const char* data, std::size_t size);
    Outcome Send(const std::string& text) { return Send(text.data(), text.size()); }
    Outcome Read(char* into, std::size_t capacity, std::size_t& got) override;
    void Close();

private:
    net::WaitResult Wait(bool forWrite);
    // Bytes that can be had without waiting; 0 or less when none (an end or
    // a failure is left for the next Read to find).
    long ReceiveNow(char* into, std::size_t capacity);

    int idleMs_;
    std::string host_;
    net::Socket socket_;
    std::unique_ptr<net::TlsStream> tls_;
};

}  // namespace imap
