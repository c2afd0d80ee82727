// The TLS client, through the connection every session operation uses,
// against the servers of tests/support/tls_fixture.py (run under it). The
// same program is built natively (OpenSSL) and for Windows (Schannel, run
// by wine64 against the same native servers).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "session/exchange.h"

namespace {

using namespace session;

// The fixture's directory and the port of each of its servers.
struct Servers {
    std::string dir;
    std::map<std::string, std::uint16_t> ports{};
};

const Servers& Fixture() {
    static const Servers servers = [] {
        const char* dir = std::getenv("VANTLO_TLS_FIXTURE");
        Servers s{dir ? dir : ""};
#ifdef _WIN32
        if (!s.dir.empty() && s.dir[0] == '/') s.dir = "Z:" + s.dir;  // the Unix root, seen from Wine
#endif
        std::ifstream in(s.dir + "/ports");
        std::string name;
        for (unsigned port = 0; in >> name >> port;) s.ports[name] = static_cast<std::uint16_t>(port);
        return s;
    }();
    return servers;
}

Request SmallRequest() {
    Request request(1024);
    request.Line("GET /a/s?sid=secret HTTP/1.1").Line("Host: 127.0.0.1").Line("");
    return request;
}

Status Fetch(const std::string& server, const std::string& name, Answer& answer, int idleMs = 30000) {
    EXPECT_TRUE(Fixture().ports.count(server)) << "run under tests/support/tls_fixture.py";
    Endpoint endpoint{name, name, Fixture().ports.at(server), Scheme::Https, name, Fixture().dir + "/ca.pem"};
    ExchangeLimits limits;
    limits.idleTimeoutMs = idleMs;
    const ExchangeStyle style{Style::Guarded, 6, Style::Guarded, 15, Style::Guarded, 9, AppendMode::Bytes};
    return Exchange(endpoint, SmallRequest(), style, limits, answer);
}

// The application bytes the server of `server` took over its first finished
// connection; -1 when none finished within a generous bound.
long ServerReceived(const std::string& server) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        std::ifstream log(Fixture().dir + "/log");
        std::string name;
        for (long bytes = 0; log >> name >> bytes;)
            if (name == server) return bytes;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return -1;
}

TEST(Tls, AGoodChainCarriesTheRequestAndItsAnswerByNameAndByAddress) {
    for (const char* name : {"127.0.0.1", "localhost"}) {
        Answer answer;
        ASSERT_EQ(Fetch("good", name, answer), Status::Ok) << name << ": " << LastTlsProblem();
        EXPECT_EQ(answer.Body(), "ok") << name;
    }
    EXPECT_EQ(ServerReceived("good"), static_cast<long>(SmallRequest().Size()));
}

TEST(Tls, CertificatesThatFailTheCheckAreRefusedBeforeAnyRequestByte) {
    for (const char* server : {"otherca", "selfsigned", "expired", "otherhost"}) {
        Answer answer;
        EXPECT_EQ(Fetch(server, "127.0.0.1", answer), Status::CertificateRefused) << server;
        EXPECT_EQ(LastTlsProblem().rfind("the certificate of 127.0.0.1 was refused: ", 0), 0u) << LastTlsProblem();
        EXPECT_EQ(ServerReceived(server), 0) << server;
    }
}

TEST(Tls, AStalledHandshakeEndsWithTheIdleBound) {
    Answer answer;
    EXPECT_EQ(Fetch("stall", "127.0.0.1", answer, 500), Status::TimedOut);
}

TEST(Tls, AServerThatClosesInsideARecordCutsTheAnswer) {
    Answer answer;
    EXPECT_EQ(Fetch("cut", "127.0.0.1", answer), Status::Incomplete);
    EXPECT_EQ(ServerReceived("cut"), static_cast<long>(SmallRequest().Size()));
}

}  // namespace
