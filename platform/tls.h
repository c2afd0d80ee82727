// TLS client over a connected Socket: handshake, certificate check, send,
// receive and the closing alert. OpenSSL on Linux (tls_openssl.cpp),
// Schannel on Windows (tls_schannel.cpp); the same contract for both.
//
// The socket is switched to non-blocking mode and every wait is bounded by
// the caller. Nothing but the handshake leaves before the server's
// certificate has been checked: its chain must lead to a trusted root and
// it must name the host. There is no way to switch the check off.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/net.h"

namespace net {

// Whom the server must prove to be.
struct TlsPeer {
    std::string name;    // host name or dotted quad the certificate must carry
    std::string caFile;  // PEM file, UTF-8 path: its certificates are then the
                         // only trusted roots; empty: the system's roots
};

enum class TlsOutcome {
    Ready,               // handshake done, certificate accepted
    CertificateRefused,  // the certificate did not pass; nothing was sent
    TimedOut,            // the server did not finish the handshake in time
    Failed,              // the handshake broke off (not a TLS server, reset, ...)
};

// True for a dotted quad: such names get no server name indication and are
// matched against the certificate's IP addresses.
bool IsIpv4Literal(const std::string& name);

class TlsStream {
public:
    TlsStream();
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // Runs the handshake over `socket` (which must outlive the stream) and
    // checks the certificate, within timeoutMs in all.
    TlsOutcome Start(Socket& socket, const TlsPeer& peer, int timeoutMs);
    // Why Start did not end in Ready: names the host and the reason.
    const std::string& Problem() const { return problem_; }

    // Ready when Receive will answer at once: decrypted data waits (already
    // buffered or just completed), or the stream has ended. A record that
    // arrives only in part keeps the wait going.
    WaitResult WaitReadable(int timeoutMs);
    // Ready when Send can make progress.
    WaitResult WaitWritable(int timeoutMs);
    // Bytes of `data` taken (> 0); 0 when the socket cannot take them now:
    // wait with WaitWritable and call again with the same bytes; -1 on
    // failure.
    long Send(const char* data, std::size_t length);
    // After WaitReadable said Ready: bytes received, 0 at the end of the
    // stream (the closing alert, or a close between records), -1 on failure
    // (a connection cut inside a record included).
    long Receive(char* data, std::size_t capacity);
    // Sends the closing alert if the socket takes it at once.
    void Shutdown();

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
    std::string problem_;
};

}  // namespace net
