// --tls: a made CA and certificate (or given ones), TLS 1.2 and 1.3, the
// handshake bounded by the idle time, and a log that shows what arrived.
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "atomic_file.h"
#include "session/cells.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/signin.h"
#include "signed_in_provider.h"

namespace providertest {
namespace {

// The status of the notice page fetched over TLS of at most `maxVersion`,
// trusting `caFile` alone; 0 when the handshake fails.
int NoticeStatusOverTls(std::uint16_t port, const std::string& caFile, int maxVersion) {
    RawConnection connection(port);
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_max_proto_version(context, maxVersion);
    SSL* ssl = SSL_new(context);
    SSL_set_fd(ssl, connection.Fd());
    SSL_set1_host(ssl, "127.0.0.1");
    char answer[64] = "";
    const std::string request = "GET /pubinfo/Vantlo HTTP/1.1\r\n\r\n";
    if (SSL_connect(ssl) == 1 && SSL_write(ssl, request.data(), static_cast<int>(request.size())) > 0)
        SSL_read(ssl, answer, sizeof answer - 1);
    SSL_free(ssl);
    SSL_CTX_free(context);
    return session::StatusCode(answer);
}

class Tls : public SignedInProvider {
protected:
    void SetUp() override {
        log_ = testsupport::MakeTempDir("vantlo-tls-log-") + "/log";
        Start({"--tls", "--idle-timeout", "1", "--log", log_});
    }
    void TearDown() override { testsupport::RemoveTree(log_.substr(0, log_.rfind('/'))); }
    // The log once it tells of the end of connections 1 to `last`, within a bound.
    std::string LogOf(int last) {
        std::string text;
        for (int i = 0, id = 1; i < 500 && id <= last; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            provider::ReadWholeFile(log_, text);
            while (id <= last && text.find("#" + std::to_string(id) + " close") != std::string::npos) ++id;
        }
        return text;
    }
    std::string log_;
};

TEST_F(Tls, TheMadeCertificateNamesTheLoopbackHostAndServesBothVersions) {
    EXPECT_TRUE(s.hostScheme == session::Scheme::Https && session::CellText(s.host) == Provider().HostPort());
    std::FILE* file = std::fopen((Provider().DataDir() + "/tls/server.pem").c_str(), "r");
    ASSERT_NE(file, nullptr);
    X509* cert = PEM_read_X509(file, nullptr, nullptr, nullptr);
    std::fclose(file);
    ASSERT_NE(cert, nullptr);
    // 127.0.0.1 as a DNS name and as an address.
    EXPECT_EQ(X509_check_host(cert, "localhost", 0, 0, nullptr) + X509_check_host(cert, "127.0.0.1", 0, 0, nullptr) +
                  X509_check_ip_asc(cert, "127.0.0.1", 0) + X509_check_host(cert, "example.com", 0, 0, nullptr),
              3);
    X509_free(cert);
    for (int version : {TLS1_2_VERSION, TLS1_3_VERSION})
        EXPECT_EQ(NoticeStatusOverTls(Provider().Port(), Provider().CaFile(), version), 200) << version;
    // Heads are logged with their cookies hidden; bodies, where the password travels, never.
    const std::string log = LogOf(4);
    EXPECT_NE(log.find("#1 head POST /logins.jsp?"), std::string::npos) << log;
    const std::string hidden = "\\r\\nCookie: ***\\r\n";  // the end of the entry request's line
    EXPECT_EQ(log.find(hidden, log.find("#2 head GET /coremail/")) + hidden.size() - 1,
              log.find('\n', log.find("#2 head")))
        << log;
    EXPECT_EQ(log.find(kTestPassword), std::string::npos);
}

TEST_F(Tls, NothingArrivesFromAClientThatRefusesTheCertificateAndAStalledHandshakeEnds) {
    // Another provider's CA has the same name but another key.
    testsupport::ProviderProcess other({"x@163.example:x"}, {"--tls"});
    s.limits.connectAttempts = 1;
    for (const auto& [caFile, name] :
         {std::pair{other.CaFile(), std::string("127.0.0.1")}, {Provider().CaFile(), std::string("example.com")}}) {
        session::Endpoint endpoint = session::WebmailEndpoint(s);
        endpoint.caFile = caFile;
        endpoint.certificateName = name;
        session::Connection refused(s.limits);
        EXPECT_EQ(refused.Open(endpoint, session::Style::Guarded, 5), session::Status::CertificateRefused) << name;
    }
    bool closed = false;
    EXPECT_EQ(RawConnection(Provider().Port()).Read(10000, &closed), "");  // a silent client
    EXPECT_TRUE(closed);
    const std::string log = LogOf(5);  // after the two of the sign-in
    for (int id : {3, 4, 5}) {
        EXPECT_NE(log.find("#" + std::to_string(id) + " tls-failed "), std::string::npos) << log;
        EXPECT_NE(log.find("#" + std::to_string(id) + " close received=0\n"), std::string::npos) << log;
        EXPECT_EQ(log.find("#" + std::to_string(id) + " head"), std::string::npos) << log;
    }
    EXPECT_NE(log.find("#5 tls-failed the handshake did not end within the idle time"), std::string::npos);
}

TEST_F(Tls, AGivenCertificateIsServedAsItIs) {
    const std::string made = Provider().DataDir() + "/tls";
    testsupport::ProviderProcess given({"a@163.example:pa"},
                                       {"--tls-cert", made + "/server.pem", "--tls-key", made + "/server-key.pem"});
    session::Session signedIn;
    signedIn.providerOverride = "https://" + given.HostPort();
    signedIn.caFile = Provider().CaFile();
    EXPECT_EQ(session::SignIn(signedIn, "a@163.example", 1, "pa"), session::Status::Ok);
    EXPECT_FALSE(std::filesystem::exists(given.DataDir() + "/tls"));  // nothing made
}

}  // namespace
}  // namespace providertest
