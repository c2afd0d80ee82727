#include "session/signin.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "provider_process.h"
#include "scripted_server.h"
#include "session/cells.h"
#include "session/provider_directory.h"

namespace {

using namespace session;
using testsupport::Reply;
using testsupport::ScriptedServer;

const std::string kSid = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";

std::string SignInAnswer(const std::string& account = "ann@163.example") {
    return "HTTP/1.1 200 OK\r\n"
           "Set-Cookie: NTES_SESS=sess-token-1; Domain=.163.example; Path=/\r\n"
           "Set-Cookie: S_INFO=1700000000|0|3&80##|ann; Domain=.163.example; Path=/\r\n"
           "Set-Cookie: P_INFO=" +
           account +
           "|1700000000|0|mail163|00&99|null; Domain=.163.example\r\n"
           "Connection: close\r\n\r\n<html>ok</html>";
}

std::string EntryAnswer(const std::string& location = "http://127.0.0.1:8080/coremail/index.jsp") {
    return "HTTP/1.1 302 Found\r\n"
           "Set-Cookie: Coremail=14charsprefix1" +
           kSid + "%abc; Path=/\r\nLocation: " + location + "\r\nConnection: close\r\n\r\n";
}

struct SignInFixture : ::testing::Test {
    ScriptedServer server;
    Session s;
    void SetUp() override { s.providerOverride = server.HostPort(); }
};

TEST_F(SignInFixture, FillsTheSessionFromBothAnswers) {
    server.PushAnswer(SignInAnswer());
    server.PushAnswer(EntryAnswer());
    ASSERT_EQ(SignIn(s, "ann@163.example", 1, "pw"), SignInResult::Ok);
    EXPECT_STREQ(s.ntesSessCookie, "NTES_SESS=sess-token-1;");
    EXPECT_STREQ(s.sInfoCookie, "S_INFO=1700000000|0|3&80##|ann;");
    EXPECT_STREQ(s.pInfoCookie, "P_INFO=ann@163.example|1700000000|0|mail163|00&99|null;");
    EXPECT_STREQ(s.accountName, "ann@163.example");
    EXPECT_STREQ(s.coremailCookie, ("Coremail=14charsprefix1" + kSid + "%abc;").c_str());
    EXPECT_EQ(std::string(s.sid), kSid);
    EXPECT_STREQ(s.host, "127.0.0.1:8080");
}

TEST_F(SignInFixture, SendsBothRequestsByteForByte) {
    server.PushAnswer(SignInAnswer());
    server.PushAnswer(EntryAnswer());
    ASSERT_EQ(SignIn(s, "ann@163.example", 1, "p&w=1"), SignInResult::Ok);
    ASSERT_TRUE(server.WaitForRequests(2));
    std::string form =
        "url=&type=1&product=&username=ann@163.example@163.example&user=ann@163.example&password=p%26w%3D1";
    EXPECT_EQ(server.Requests()[0],
              "POST /logins.jsp?type=1&product=mail163&url=http://entry.163.example/coremail/fcg/ntesdoor2?"
              "lightweight%3D1%26verifycookie%3D1%26language%3D-1%26style%3D-1 HTTP/1.1\r\n"
              "Accept: */*\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\n"
              "Host: reg.163.example\r\n"
              "User-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
              "Content-Length: " +
                  std::to_string(form.size()) +
                  "\r\n"
                  "Connection: close\r\n"
                  "\r\n" +
                  form);
    EXPECT_EQ(server.Requests()[1],
              "GET /coremail/fcg/ntesdoor2?lightweight=1&verifycookie=1&language=-1&style=-1&username=ann@163.example"
              " HTTP/1.1\r\n"
              "Accept: */*\r\n"
              "Host: entry.163.example\r\n"
              "User-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
              "Connection: close\r\n"
              "Cookie: NTES_SESS=sess-token-1;\r\n"
              "\r\n");
}

TEST_F(SignInFixture, EntriesTwoAndThreeUseTheirOwnProductAndPath) {
    for (int entry : {2, 3}) {
        server.PushAnswer(SignInAnswer());
        server.PushAnswer(EntryAnswer());
        std::string account = std::string("bo@") + EntryByNumber(entry)->domain;
        ASSERT_EQ(SignIn(s, account, entry, "pw"), SignInResult::Ok);
    }
    ASSERT_TRUE(server.WaitForRequests(4));
    auto requests = server.Requests();
    EXPECT_EQ(requests[0].rfind("POST /logins.jsp?type=1&product=mail126&url=http://entry.126.example/coremail/fcg/"
                                "ntesdoor2?",
                                0),
              0u);
    EXPECT_EQ(requests[1].rfind("GET /cgi/ntesdoor?hid=10010102&lightweight=1&verifycookie=1&language=0&style=-1"
                                "&username=bo@126.example HTTP/1.1\r\n",
                                0),
              0u);
    EXPECT_NE(requests[2].find("product=mailyeah"), std::string::npos);
    EXPECT_NE(requests[3].find("Host: entry.yeah.example\r\n"), std::string::npos);
}

TEST_F(SignInFixture, EntriesOutsideOneToThreeSendNothing) {
    EXPECT_EQ(SignIn(s, "ann@163.example", 0, "pw"), SignInResult::BadEntry);
    EXPECT_EQ(SignIn(s, "ann@163.example", 4, "pw"), SignInResult::BadEntry);
    EXPECT_EQ(server.Connections(), 0);
}

TEST_F(SignInFixture, AnswerWithoutNtesSessIsARefusal) {
    server.PushAnswer("HTTP/1.1 200 OK\r\nSet-Cookie: S_INFO=x;\r\n\r\nwrong password");
    EXPECT_EQ(SignIn(s, "ann@163.example", 1, "bad"), SignInResult::Refused);
}

TEST_F(SignInFixture, MalformedAnswersFailWithoutTouchingOutsideTheBuffers) {
    struct Case {
        const char* name;
        std::string first;
        std::string second;
    } cases[] = {
        {"no S_INFO", "HTTP/1.1 200 OK\r\nSet-Cookie: NTES_SESS=a;\r\nSet-Cookie: P_INFO=a@163.example|x;\r\n\r\n", ""},
        {"piece without ;", "HTTP/1.1 200 OK\r\nSet-Cookie: S_INFO=x;\r\nSet-Cookie: P_INFO=a|b;\r\nNTES_SESS=abc\r\n\r\n",
         ""},
        {"P_INFO without |", "HTTP/1.1 200 OK\r\nNTES_SESS=a; S_INFO=b; P_INFO=noseparator;\r\n\r\n", ""},
        {"header too long", "HTTP/1.1 200 OK\r\nNTES_SESS=a; S_INFO=b; P_INFO=a@163.example|;\r\nX: " +
                                std::string(2000, 'x') + "\r\n\r\n",
         ""},
        {"no blank line", "HTTP/1.1 200 OK\r\nNTES_SESS=a; S_INFO=b; P_INFO=a|;", ""},
        {"cookie piece too long", "HTTP/1.1 200 OK\r\nNTES_SESS=" + std::string(300, 'n') +
                                      "; S_INFO=b; P_INFO=a|;\r\n\r\n",
         ""},
        {"short Coremail", SignInAnswer(), "HTTP/1.1 302\r\nSet-Cookie: Coremail=short;\r\nLocation: http://h/\r\n\r\n"},
        {"no Location", SignInAnswer(), "HTTP/1.1 302\r\nSet-Cookie: Coremail=14charsprefix1" + kSid + ";\r\n\r\n"},
        {"Location without path", SignInAnswer(), EntryAnswer("http://127.0.0.1:8080")},
        {"Location too short", SignInAnswer(), EntryAnswer("x")},
        {"host too long", SignInAnswer(), EntryAnswer("http://" + std::string(100, 'h') + "/x")},
    };
    for (const Case& c : cases) {
        server.PushAnswer(c.first);
        if (!c.second.empty()) server.PushAnswer(c.second);
        SignInResult result = SignIn(s, "a@163.example", 1, "pw");
        EXPECT_NE(result, SignInResult::Ok) << c.name;
        EXPECT_LT(std::strlen(s.host), sizeof s.host) << c.name;
    }
}

TEST_F(SignInFixture, ASilentEntryServerEndsWithinTheIdleBound) {
    s.limits.idleTimeoutMs = 300;
    server.PushAnswer(SignInAnswer());
    Reply stall;
    stall.kind = Reply::Kind::Stall;
    server.Push(stall);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SignIn(s, "ann@163.example", 1, "pw"), SignInResult::EntryTimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(SignInFixture, ALaterAttemptReplacesEveryField) {
    server.PushAnswer(SignInAnswer("a-much-longer-name@163.example"));
    server.PushAnswer(EntryAnswer("http://a-much-longer-host.example:1/x"));
    ASSERT_EQ(SignIn(s, "x@163.example", 1, "pw"), SignInResult::Ok);
    server.PushAnswer(SignInAnswer("bo@163.example"));
    server.PushAnswer(EntryAnswer("http://h:2/x"));
    ASSERT_EQ(SignIn(s, "bo@163.example", 1, "pw"), SignInResult::Ok);
    EXPECT_STREQ(s.accountName, "bo@163.example");
    EXPECT_STREQ(s.host, "h:2");
}

TEST(SignInUnreachable, SignInAndEntryServerFailuresHaveTheirOwnResults) {
    Session s;
    s.providerOverride = "127.0.0.1:" + std::to_string(testsupport::ClosedPort());
    EXPECT_EQ(SignIn(s, "ann@163.example", 1, "pw"), SignInResult::SignInServerUnreachable);

    // The sign-in server answers, then goes away before the entry request.
    auto server = std::make_unique<ScriptedServer>();
    s.providerOverride = server->HostPort();
    server->PushAnswer(SignInAnswer());
    Reply torn;
    torn.kind = Reply::Kind::CloseAtOnce;
    server->Push(torn);
    SignInResult result = SignIn(s, "ann@163.example", 1, "pw");
    EXPECT_TRUE(result == SignInResult::EntryReceiveFailed || result == SignInResult::EntrySendFailed ||
                result == SignInResult::AnswerMalformed)
        << SignInResultText(result);
}

TEST(FormEncode, EncodesEverythingThatCouldEndOrChangeAField) {
    EXPECT_EQ(FormEncode("a&b=c+d%e f"), "a%26b%3Dc%2Bd%25e%20f");
    EXPECT_EQ(FormEncode("ann@163.example"), "ann@163.example");
    EXPECT_EQ(FormEncode("\xE5\xAF\x86"), "%E5%AF%86");
}

// Against the real provider.
struct SignInProvider : ::testing::Test {
    testsupport::ProviderProcess provider{{"ann@163.example:p&ss=w%rd +x", "bo@126.example:\xE5\xAF\x86\xE7\xA0\x81"}};
    Session s;
    void SetUp() override {
        ASSERT_TRUE(provider.Running());
        s.providerOverride = provider.HostPort();
    }
};

TEST_F(SignInProvider, SignsInAndFillsTheFields) {
    ASSERT_EQ(SignIn(s, "ann@163.example", 1, "p&ss=w%rd +x"), SignInResult::Ok);
    EXPECT_STREQ(s.accountName, "ann@163.example");
    EXPECT_EQ(std::strlen(s.sid), 32u);
    EXPECT_EQ(std::string(s.host), provider.HostPort());
    EXPECT_EQ(std::string(s.ntesSessCookie).rfind("NTES_SESS=", 0), 0u);
    EXPECT_EQ(std::string(s.coremailCookie).rfind("Coremail=", 0), 0u);
}

TEST_F(SignInProvider, NonAsciiPasswordSignsIn) {
    EXPECT_EQ(SignIn(s, "bo@126.example", 2, "\xE5\xAF\x86\xE7\xA0\x81"), SignInResult::Ok);
}

TEST_F(SignInProvider, WrongPasswordOrUnknownUserIsRefused) {
    EXPECT_EQ(SignIn(s, "ann@163.example", 1, "p&ss=w%rd"), SignInResult::Refused);
    EXPECT_EQ(SignIn(s, "nobody@163.example", 1, "x"), SignInResult::Refused);
}

}  // namespace
