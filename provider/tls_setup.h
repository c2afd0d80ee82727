// TLS for the provider: a test CA and a server certificate made in the
// data directory (RSA 2048; the certificate names localhost and
// 127.0.0.1, the latter as an IP address and as a DNS name, since some
// clients match host names against DNS names only), or a certificate and
// key given on the command line. TLS 1.2 and 1.3 are served.
//
//   DATA/tls/ca.pem           the CA a client trusts (its key is not kept)
//   DATA/tls/server.pem       the server's certificate
//   DATA/tls/server-key.pem   its key
#pragma once

#include <memory>
#include <string>

struct ssl_ctx_st;

namespace provider {

struct TlsContextFree {
    void operator()(ssl_ctx_st* context) const;
};
using TlsContext = std::unique_ptr<ssl_ctx_st, TlsContextFree>;

struct TlsFiles {
    std::string caFile;  // empty for given certificates
    std::string certFile;
    std::string keyFile;
};

// Reuses the files under `directory` when they still serve (the
// certificate is the CA's, matches its key and is valid for a day more);
// otherwise makes new ones.
bool MakeTestCertificates(const std::string& directory, TlsFiles& files, std::string& error);
// A server context over a certificate chain file and a key file.
TlsContext NewServerContext(const TlsFiles& files, std::string& error);

}  // namespace provider
