// Script requests keep their connection: one connection at a provider
// that keeps it, a new one at a server that closes after each answer, an
// answer cut off is the same error as on a connection of its own, and a
// kept connection dropped under a request sends only a reading one again.
#include "session/kept_connection.h"

#include <gtest/gtest.h>

#include <string>

#include "provider_process.h"
#include "session/folders.h"
#include "session/signin.h"
#include "session_fixture.h"

namespace {

using session::Status;

TEST(KeptConnection, OnlyAnAnswerThatSaysSoAndEndsByItsLengthKeepsItsConnection) {
    const struct {
        const char* header;
        bool kept;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 2", true},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked", true},
        {"HTTP/1.0 200 OK\r\nContent-Length: 2\r\nConnection: Keep-Alive", true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close", false},
        {"HTTP/1.1 200 OK\r\nConnection: keep-alive", false},  // ends with the close
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip", false},
        {"HTTP/1.0 200 OK\r\nContent-Length: 2", false},
        {"HTTP/1.1 200 OK\r\nContent-Length: 2x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(session::AnswerKeepsConnection(c.header), c.kept) << c.header;
}

TEST(KeptConnection, TheProviderAnswersASessionsRequestsOnOneConnection) {
    const std::string dir = testsupport::MakeTempDir("vantlo-kept-"), log = dir + "/provider.log";
    {
        testsupport::ProviderProcess provider({}, {"--tls", "--log", log});
        session::Session s;
        s.providerOverride = provider.Address();
        s.caFile = provider.CaFile();
        ASSERT_EQ(session::SignIn(s, "demo@163.example", 1, "vantlo-demo"), Status::Ok);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(session::GetAllFolders(s), Status::Ok);
    }
    const std::string text = testsupport::ReadWholeFile(log);
    auto count = [&](const std::string& what) {
        int n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("getAllFolders"), 3);
    EXPECT_EQ(count(" open tls"), 3) << "the sign-in's two connections and one for the rest:\n" << text;
    testsupport::RemoveTree(dir);
}

using KeptFaults = testsupport::SessionTest;

// A server that closes after every answer or cuts one is answered as
// before; one that drops the kept connection as the next request goes out
// on it has a request that only reads sent again on a new connection, and
// one that changes something sent once, its failure the caller's.
TEST_F(KeptFaults, ClosedCutOrDroppedConnections) {
    const std::string body = "{'code':'S_OK','var':[]}";
    // Never says it closes; its answers end by their length.
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    server.Push(testsupport::Script(answer));
    server.Push(testsupport::Script(answer));
    server.Push(testsupport::Script(answer, testsupport::Action::Cut, answer.size() - 5));
    EXPECT_EQ(session::GetAllFolders(s), Status::Ok);
    EXPECT_EQ(session::GetAllFolders(s), Status::Ok);
    EXPECT_EQ(session::GetAllFolders(s), Status::Incomplete) << "cut off, and not asked again";
    for (const bool reads : {true, false}) {
        server.Push(testsupport::Script(answer, testsupport::Action::Drop, answer.size()));
        server.Push(testsupport::Script(answer));
        ASSERT_EQ(session::GetAllFolders(s), Status::Ok);  // its connection is kept, then dropped
        EXPECT_EQ(reads ? session::GetAllFolders(s) : session::RenameFolder(s, "x", "1"),
                  reads ? Status::Ok : Status::Incomplete);
        // Three before; the listing sent again on a new one, the rename not.
        EXPECT_EQ(server.Connections(), reads ? 5 : 6);
    }
}

}  // namespace
