#include "session/exchange.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "scripted_server.h"
#include "session/cells.h"

namespace {

using namespace session;
using testsupport::Reply;
using testsupport::ScriptedServer;

const ExchangeStyle kGuardedText{Style::Guarded, 6, Style::Guarded, 15, Style::Guarded, 9, AppendMode::Text};
const ExchangeStyle kPlainBytes{Style::Plain, 0, Style::Plain, 0, Style::Plain, 0, AppendMode::Bytes};

Endpoint At(std::uint16_t port) { return Endpoint{"webmail.test", "127.0.0.1", port}; }

Request SmallRequest() {
    Request request(1024);
    request.Line("POST /a/s?sid=x&func=mbox:getAllFolders HTTP/1.1").Line("Host: webmail.test").Line("");
    return request;
}

TEST(Exchange, SendsTheRequestAndReadsTheAnswerUntilClose) {
    ScriptedServer server;
    server.PushAnswer(testsupport::HttpAnswer("{'code':'S_OK'}"));
    for (const ExchangeStyle& style : {kGuardedText, kPlainBytes}) {
        Answer answer;
        ASSERT_EQ(Exchange(At(server.Port()), SmallRequest(), style, ExchangeLimits{}, answer), Status::Ok);
        EXPECT_EQ(answer.Body(), "{'code':'S_OK'}");
        EXPECT_NE(answer.Header().find("HTTP/1.1 200 OK"), std::string_view::npos);
        EXPECT_FALSE(answer.Truncated());
    }
    ASSERT_TRUE(server.WaitForRequests(2));
    EXPECT_EQ(server.Requests()[0], SmallRequest().Text());
}

TEST(Exchange, AZeroByteCutsATextPieceButNotABytePiece) {
    ScriptedServer server;
    std::string body("ab\0cd", 5);
    server.PushAnswer("HTTP/1.1 200 OK\r\n\r\n" + body);
    Answer text, bytes;
    ASSERT_EQ(Exchange(At(server.Port()), SmallRequest(), kGuardedText, ExchangeLimits{}, text), Status::Ok);
    ASSERT_EQ(Exchange(At(server.Port()), SmallRequest(), kPlainBytes, ExchangeLimits{}, bytes), Status::Ok);
    EXPECT_EQ(text.Body(), "ab");
    EXPECT_EQ(bytes.Body(), body);
}

TEST(Exchange, AnAnswerBeyondTheBufferIsCutThere) {
    ScriptedServer server;
    server.PushAnswer("HTTP/1.1 200 OK\r\n\r\n" + std::string(300000, 'x'));
    Answer answer;
    ASSERT_EQ(Exchange(At(server.Port()), SmallRequest(), kPlainBytes, ExchangeLimits{}, answer), Status::Ok);
    EXPECT_EQ(answer.Text().size(), kAnswerCapacity);
    EXPECT_TRUE(answer.Truncated());
}

TEST(Exchange, ASilentServerEndsTheOperationWithinTheIdleBound) {
    ScriptedServer server;
    Reply stall;
    stall.kind = Reply::Kind::Stall;
    stall.stallMs = 5000;
    server.Push(stall);
    ExchangeLimits limits;
    limits.idleTimeoutMs = 300;
    for (const ExchangeStyle& style : {kGuardedText, kPlainBytes}) {
        auto start = std::chrono::steady_clock::now();
        Answer answer;
        EXPECT_EQ(Exchange(At(server.Port()), SmallRequest(), style, limits, answer), Status::TimedOut);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    }
}

TEST(Exchange, AnAnswerThatStopsHalfwayAlsoEndsWithinTheIdleBound) {
    ScriptedServer server;
    Reply reply;
    reply.kind = Reply::Kind::AnswerStall;
    reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{'code':";
    server.Push(reply);
    ExchangeLimits limits;
    limits.idleTimeoutMs = 300;
    Answer answer;
    EXPECT_EQ(Exchange(At(server.Port()), SmallRequest(), kGuardedText, limits, answer), Status::TimedOut);
}

TEST(Exchange, RefusedConnectionsFailInBothStyles) {
    std::uint16_t closed = testsupport::ClosedPort();
    ExchangeLimits limits;
    limits.connectRetryPauseMs = 10;
    Answer answer;
    EXPECT_EQ(Exchange(At(closed), SmallRequest(), kPlainBytes, limits, answer), Status::ConnectFailed);
    EXPECT_EQ(Exchange(At(closed), SmallRequest(), kGuardedText, limits, answer), Status::ConnectWaitFailed);
}

TEST(Exchange, ARequestThatDoesNotFitIsNeverSent) {
    ScriptedServer server;
    Request request(16);
    request.Line("POST /a/s?sid=0123456789 HTTP/1.1");
    EXPECT_TRUE(request.Overflowed());
    Answer answer;
    EXPECT_EQ(Exchange(At(server.Port()), request, kPlainBytes, ExchangeLimits{}, answer), Status::RequestTooLarge);
    EXPECT_EQ(server.Connections(), 0);
}

TEST(Exchange, ATornConnectionGivesWhatArrived) {
    ScriptedServer server;
    Reply torn;
    torn.kind = Reply::Kind::CloseAtOnce;
    server.Push(torn);
    Answer answer;
    Status status = Exchange(At(server.Port()), SmallRequest(), kGuardedText, ExchangeLimits{}, answer);
    // Either the send or the receive notices; nothing hangs and nothing is invented.
    EXPECT_TRUE(status == Status::Ok || status == Status::SendFailed) << StatusText(status);
    EXPECT_TRUE(answer.Text().empty());
}

TEST(CookieLine, PiecesInOrderWithoutSpaces) {
    Session s;
    SetCell(s.ntesSessCookie, "NTES_SESS=n1;");
    SetCell(s.sInfoCookie, "S_INFO=s1;");
    SetCell(s.pInfoCookie, "P_INFO=a@163.example|1;");
    SetCell(s.coremailCookie, "Coremail=c1;");
    EXPECT_EQ(CookieLine(s), "Cookie: S_INFO=s1;P_INFO=a@163.example|1;NTES_SESS=n1;Coremail=c1;");
}

TEST(ProviderDirectory, OverrideReplacesFixedAddressesButNotHostNames) {
    Session s;
    s.providerOverride = "127.0.0.1:4321";
    Endpoint e = FixedEndpoint(s, kSignInHost, kSignInAddress);
    EXPECT_EQ(e.hostLine, kSignInHost);
    EXPECT_EQ(e.dialHost, "127.0.0.1");
    EXPECT_EQ(e.port, 4321);
    SetCell(s.host, "127.0.0.1:8080");
    Endpoint w = WebmailEndpoint(s);
    EXPECT_EQ(w.hostLine, "127.0.0.1:8080");
    EXPECT_EQ(w.port, 8080);
    SetCell(s.host, "mail.163.example");
    EXPECT_EQ(WebmailEndpoint(s).port, 80);
}

TEST(ProviderDirectory, EntryForAccountMatchesTheDomainWithoutRegardToCase) {
    struct Case {
        const char* account;
        int entry;
    } cases[] = {{"a@163.example", 1},  {"a@126.EXAMPLE", 2}, {"a@Yeah.Example", 3}, {"a@gmail.example", 0},
                  {"no-at-sign", 0},    {"a@163.example.x", 0}, {"a@b@163.example", 0}, {"@163.example", 1}};
    for (const Case& c : cases) EXPECT_EQ(EntryForAccount(c.account), c.entry) << c.account;
}

}  // namespace
