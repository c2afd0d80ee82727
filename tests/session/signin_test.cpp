// SignIn against a scripted sign-in and entry server: the two requests, the
// fields they fill, and how each kind of answer is told to the user.
#include "session/signin.h"

#include <gtest/gtest.h>

#include "session/provider_directory.h"
#include "session_fixture.h"

namespace {

using session::Status;
using testsupport::Action;

const std::string kSid = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
const std::string kSignIn =
    "HTTP/1.1 200 OK\r\nSet-Cookie: NTES_SESS=sess-1; Path=/\r\nSet-Cookie: S_INFO=17|0|3&80##|ann; Path=/\r\n"
    "Set-Cookie: P_INFO=ann@163.example|17|0|mail163|00&99|null; Path=/\r\nContent-Length: 2\r\n\r\nok";
const std::string kEntry = "HTTP/1.1 302 Found\r\nSet-Cookie: Coremail=14charsprefix1" + kSid +
                           "%abc; Path=/\r\nLocation: http://127.0.0.1:8080/coremail/index.jsp\r\n\r\n";

struct SignInTest : testsupport::SessionTest {
    SignInTest() { s.providerOverride = server.HostPort(); }
};

TEST_F(SignInTest, SendsBothRequestsAndFillsTheSession) {
    server.PushAnswer(kSignIn);
    server.PushAnswer(kEntry);
    // Every character that means something in a form is escaped; "@" and the unreserved ones are not.
    ASSERT_EQ(session::SignIn(s, "ann+1@163.example", 1, "p&w=1+ %#?/;:,\"'\xE6\x96\x87\t~-_."), Status::Ok);
    std::string form =
        "url=&type=1&product=&username=ann%2B1@163.example@163.example&user=ann%2B1@163.example"
        "&password=p%26w%3D1%2B%20%25%23%3F%2F%3B%3A%2C%22%27%E6%96%87%09~-_.";
    EXPECT_EQ(server.Requests().at(0),
              "POST /logins.jsp?type=1&product=mail163&url=http://entry.163.example/coremail/fcg/ntesdoor2?"
              "lightweight%3D1%26verifycookie%3D1%26language%3D-1%26style%3D-1 HTTP/1.1\r\nAccept: */*\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\nHost: reg.163.example\r\nUser-Agent: Ostrel Mail "
              "Tools; Unix 7.2\r\nContent-Length: " +
                  std::to_string(form.size()) + "\r\nConnection: close\r\n\r\n" + form);
    EXPECT_EQ(
        server.Requests().at(1),
        "GET /coremail/fcg/ntesdoor2?lightweight=1&verifycookie=1&language=-1&style=-1&username=ann%2B1@163.example"
        " HTTP/1.1\r\nAccept: */*\r\nHost: entry.163.example\r\nUser-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
        "Connection: close\r\nCookie: NTES_SESS=sess-1;\r\n\r\n");
    EXPECT_STREQ(s.sInfoCookie, "S_INFO=17|0|3&80##|ann;");
    EXPECT_STREQ(s.pInfoCookie, "P_INFO=ann@163.example|17|0|mail163|00&99|null;");
    EXPECT_STREQ(s.accountName, "ann@163.example");
    EXPECT_STREQ(s.coremailCookie, ("Coremail=14charsprefix1" + kSid + "%abc;").c_str());
    EXPECT_EQ(std::string(s.sid), kSid);
    EXPECT_STREQ(s.host, "127.0.0.1:8080");
}

TEST_F(SignInTest, EachAnswerIsToldForWhatItIs) {
    const std::string noCookie = "HTTP/1.1 403 Forbidden\r\nContent-Length: 5\r\n\r\nwrong";
    using testsupport::Script;
    // The entry answer with a header of exactly `size` bytes, or with a Coremail piece of `size` bytes.
    const std::size_t headEnd = kEntry.find("\r\n\r\n");
    auto headerOf = [&](std::size_t size) {
        return kEntry.substr(0, headEnd) + "\r\nX-Pad: " + std::string(size - headEnd - 9, 'p') + "\r\n\r\n";
    };
    auto coremailPiece = [&](std::size_t size) {
        const std::size_t start = kEntry.find("Coremail="), tail = kEntry.find("%abc;");
        return kEntry.substr(0, tail) + std::string(size - (tail - start) - 1, 'c') + kEntry.substr(tail + 4);
    };
    // clang-format off
    const std::pair<std::vector<Action>, Status> cases[] = {
        {{Script(noCookie)}, Status::SignInRefused},
        {{Script("\x16\x03 random garbage \xff")}, Status::Unreadable},
        {{Script("HTTP/1.1 500 Oops\r\n\r\n")}, Status::Unreadable},
        {{Script("HTTP/1.1 499 Who\r\n\r\n")}, Status::SignInRefused},
        {{Script("HTTP/1.1 199 Early\r\n\r\n")}, Status::Unreadable},
        {{Script("HTTP/1.1 4030 Forbidden\r\n\r\n")}, Status::Unreadable},  // no status code
        {{Script(kSignIn), Script(headerOf(1023))}, Status::Ok},
        {{Script(kSignIn), Script(headerOf(1024))}, Status::Unreadable},
        {{Script(kSignIn), Script(coremailPiece(255))}, Status::Ok},
        {{Script(kSignIn), Script(coremailPiece(256))}, Status::Unreadable},  // never cut to its cell
        {{Script(kSignIn, Action::Cut, kSignIn.size() - 1)}, Status::Incomplete},
        {{Script(kSignIn.substr(0, 40) + std::string(1100, 'x') + "\r\n\r\n")}, Status::Unreadable},
        {{Script(kSignIn), Script("", Action::Stall)}, Status::TimedOut},
        {{Script(kSignIn), Script(kEntry.substr(0, kEntry.find("Location")) + "Location: http://" + std::string(70, 'h') + "/\r\n\r\n")},
         Status::Unreadable},  // a host past its cell
    };
    // clang-format on
    s.limits.idleTimeoutMs = 300;
    for (const auto& [answers, result] : cases) {
        for (const Action& answer : answers) server.Push(answer);
        EXPECT_EQ(session::SignIn(s, "ann@163.example", 1, "pw"), result) << answers[0].bytes.substr(0, 20);
    }
}

TEST_F(SignInTest, TheLongestAccountAndPasswordFitAndLongerOnesStayLocal) {
    const std::string account = std::string(session::kLongestAccount - 12, '&') + "@163.example";
    const std::string password(session::kLongestPassword, '%');
    server.PushAnswer(kSignIn);
    server.PushAnswer(kEntry);
    EXPECT_EQ(session::SignIn(s, account, 1, password), Status::Ok);
    EXPECT_NE(server.Requests().at(0).find("&password=" + session::FormEncode(password)), std::string::npos);
    EXPECT_EQ(session::SignIn(s, "&" + account, 1, password), Status::AccountTooLong);
    EXPECT_EQ(session::SignIn(s, account, 1, password + "%"), Status::PasswordTooLong);
    EXPECT_EQ(session::SignIn(s, account, 1, ""), Status::PasswordEmpty);
    EXPECT_EQ(session::SignIn(s, account, 4, "pw"), Status::UnsupportedDomain);
    EXPECT_EQ(server.Connections(), 2);
}

TEST(SignInEntry, TheDomainChoosesTheEntryWhateverItsCase) {
    const std::pair<const char*, int> cases[] = {
        {"ann@163.example", 1}, {"Alice@163.COM.example", 0}, {"Alice@163.EXAMPLE", 1}, {"b@126.Example", 2},
        {"c@YEAH.EXAMPLE", 3},  {"d@163.example.", 0},        {"163.example", 0},       {"e@f@163.example", 0},
    };
    for (const auto& [account, entry] : cases) EXPECT_EQ(session::EntryForAccount(account), entry) << account;
}

// A sign-in over TLS to the real provider is in tests/provider (Tls).
TEST(SignInOverTls, NeverHandsTheSessionToPlainHttp) {
    // A server with the provider's certificate that redirects to plain http.
    testsupport::ProviderProcess provider({}, {"--tls"});
    session::Session s;
    s.caFile = provider.CaFile();
    const std::string tls = provider.DataDir() + "/tls/";
    testsupport::FaultServer redirecting(0, {tls + "server.pem", tls + "server-key.pem"});
    redirecting.PushAnswer(kSignIn);
    redirecting.PushAnswer(kEntry);
    s.providerOverride = "https://" + redirecting.HostPort();
    EXPECT_EQ(session::SignIn(s, "ann@163.example", 1, "pw"), Status::InsecureRedirect);
    EXPECT_EQ(redirecting.Requests().size(), 2u);
    EXPECT_EQ(redirecting.Requests().at(1).rfind("GET /coremail/fcg/ntesdoor2?", 0), 0u) << "spoken to in TLS";
}

}  // namespace
