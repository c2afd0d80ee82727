// TLS for connections the server accepts, when it listens beyond this
// machine: one server context (certificate chain and key, read once at
// start) and a Connection that speaks TLS over an accepted socket, with
// every wait bounded as on a plain one. OpenSSL, so the Linux build only;
// the Windows build serves loopback, where no TLS is needed.
#pragma once

#include <memory>
#include <string>

#include "dav/tcp.h"

namespace dav {

class TlsServer {
public:
    ~TlsServer();
    TlsServer(const TlsServer&) = delete;
    TlsServer& operator=(const TlsServer&) = delete;

    // Null, with the reason, when the files cannot be read or the key is
    // not the certificate's. Always null where TLS serving is not built.
    static std::unique_ptr<TlsServer> Load(const std::string& certFile, const std::string& keyFile, std::string& error);
    // The accepted connection, to speak TLS from its Begin on.
    std::unique_ptr<Connection> Wrap(std::unique_ptr<Connection> plain);

private:
    struct Context;
    explicit TlsServer(std::unique_ptr<Context> context);
    std::unique_ptr<Context> context_;
};

}  // namespace dav
