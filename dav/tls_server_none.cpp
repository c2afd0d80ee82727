// Builds without TLS serving (Windows): the server listens on loopback only.
#include "dav/tls_server.h"

namespace dav {

struct TlsServer::Context {};

TlsServer::TlsServer(std::unique_ptr<Context> context) : context_(std::move(context)) {}
TlsServer::~TlsServer() = default;

std::unique_ptr<TlsServer> TlsServer::Load(const std::string&, const std::string&, std::string& error) {
    error = "this build serves this machine (127.x.x.x) only: TLS serving is in the Linux build";
    return nullptr;
}

std::unique_ptr<Connection> TlsServer::Wrap(std::unique_ptr<Connection> plain) {
    return plain;
}

}  // namespace dav
