// The sign-in server and the entry servers of a real provider process.
#include <gtest/gtest.h>

#include "provider_process.h"
#include "webmail_client.h"

namespace providertest {
namespace {

using testsupport::ProviderProcess;

// The piece that starts with `name` and runs through the next ";", as the
// client cuts it out of the head.
std::string Piece(const std::string& head, const std::string& name) {
    std::size_t start = head.find(name);
    if (start == std::string::npos) return std::string();
    std::size_t end = head.find(';', start);
    return end == std::string::npos ? std::string() : head.substr(start, end - start + 1);
}

TEST(SignIn, RightPasswordGivesTheThreeCookiePieces) {
    ProviderProcess provider({"Tester@163.example:secret"});
    ASSERT_TRUE(provider.Running());
    // The address is compared without regard to case.
    for (const char* typed : {"tester@163.example", "TESTER@163.EXAMPLE"}) {
        RawAnswer answer = Exchange(provider.Port(), WebmailClient::SignInRequest(typed, "secret"));
        EXPECT_TRUE(answer.closedByServer);
        EXPECT_EQ(answer.status, 200);
        EXPECT_LT(answer.head.size() + 4, 1000u);  // the client refuses heads of 1024 bytes or more
        std::string ntes = Piece(answer.head, "NTES_SESS");
        std::string sInfo = Piece(answer.head, "S_INFO");
        std::string pInfo = Piece(answer.head, "P_INFO");
        EXPECT_GT(ntes.size(), std::string("NTES_SESS=;").size());
        EXPECT_GT(sInfo.size(), std::string("S_INFO=;").size());
        // P_INFO's value starts with the account's address and "|".
        EXPECT_EQ(pInfo.rfind("P_INFO=tester@163.example|", 0), 0u) << pInfo;
        for (const std::string& piece : {ntes, sInfo, pInfo}) {
            EXPECT_EQ(piece.back(), ';');
            EXPECT_EQ(piece.find(' '), std::string::npos) << piece;
        }
    }
}

TEST(SignIn, WrongPasswordOrUnknownUserGivesNoSessionCookie) {
    ProviderProcess provider({"tester@163.example:secret"});
    ASSERT_TRUE(provider.Running());
    const std::pair<const char*, const char*> attempts[] = {
        {"tester@163.example", "Secret"},
        {"tester@163.example", ""},
        {"nobody@163.example", "secret"},
        {"tester@126.example", "secret"},
    };
    for (const auto& [user, password] : attempts) {
        RawAnswer answer = Exchange(provider.Port(), WebmailClient::SignInRequest(user, password));
        EXPECT_TRUE(answer.closedByServer);
        EXPECT_NE(answer.status, 0);
        EXPECT_EQ(answer.raw.find("NTES_SESS"), std::string::npos) << user << " " << password;
    }
    // A form without the fields is refused as well.
    std::string body = "url=&type=1";
    RawAnswer answer =
        Exchange(provider.Port(), "POST /logins.jsp?type=1 HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                                      "\r\n\r\n" + body);
    EXPECT_EQ(answer.status, 400);
    EXPECT_EQ(answer.raw.find("NTES_SESS"), std::string::npos);
}

TEST(SignIn, PasswordsWithFormCharactersSignIn) {
    const std::string password = "p&w=r d+50%\xE5\xAF\x86";
    ProviderProcess provider({"tester@163.example:" + password});
    ASSERT_TRUE(provider.Running());
    WebmailClient client(provider.Port());
    EXPECT_TRUE(client.SignIn("tester@163.example", password));
    // "+" in a form stands for a space.
    std::string body = "user=tester%40163.example&password=p%26w%3Dr+d%2B50%25%E5%AF%86";
    RawAnswer answer =
        Exchange(provider.Port(),
                 "POST /logins.jsp HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    EXPECT_NE(answer.head.find("NTES_SESS="), std::string::npos);
}

TEST(Entry, GoodCookieOpensASessionNamingThisProvider) {
    ProviderProcess provider({"tester@163.example:secret"});
    ASSERT_TRUE(provider.Running());
    RawAnswer signIn = Exchange(provider.Port(), WebmailClient::SignInRequest("tester@163.example", "secret"));
    std::string ntes = Piece(signIn.head, "NTES_SESS");
    ASSERT_FALSE(ntes.empty());
    for (bool secondDomain : {false, true}) {
        RawAnswer entry =
            Exchange(provider.Port(), WebmailClient::EntryRequest("Tester@163.example", ntes, secondDomain));
        EXPECT_TRUE(entry.closedByServer);
        EXPECT_LT(entry.head.size() + 4, 1000u);
        std::string coremail = Piece(entry.head, "Coremail");
        // "Coremail=" + 14 characters + the 32-character sid + ";".
        ASSERT_GE(coremail.size(), 9u + 14 + 32 + 1) << entry.head;
        EXPECT_EQ(coremail.rfind("Coremail=", 0), 0u);
        std::string sid = coremail.substr(23, 32);
        for (char c : sid) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << sid;
        // The first "Location: " names the provider with its real port.
        std::size_t location = entry.head.find("Location: ");
        ASSERT_NE(location, std::string::npos);
        std::string rest = entry.head.substr(location + 17);
        EXPECT_EQ(entry.head.substr(location + 10, 7), "http://");
        EXPECT_EQ(rest.substr(0, rest.find('/')), provider.HostPort());
        EXPECT_NE(rest.find("sid=" + sid), std::string::npos);
    }
}

TEST(Entry, BadOrMissingCookieOpensNothing) {
    ProviderProcess provider({"tester@163.example:secret", "other@126.example:pw"});
    ASSERT_TRUE(provider.Running());
    RawAnswer signIn = Exchange(provider.Port(), WebmailClient::SignInRequest("other@126.example", "pw"));
    std::string otherCookie = Piece(signIn.head, "NTES_SESS");
    const std::pair<std::string, std::string> attempts[] = {
        {"tester@163.example", "NTES_SESS=forged;"},
        {"tester@163.example", "S_INFO=1;"},
        {"tester@163.example", ""},
        {"tester@163.example", otherCookie},  // a session of another account
    };
    for (const auto& [username, cookie] : attempts) {
        RawAnswer entry = Exchange(provider.Port(), WebmailClient::EntryRequest(username, cookie));
        EXPECT_GE(entry.status, 400) << cookie;
        EXPECT_EQ(entry.raw.find("Coremail"), std::string::npos) << cookie;
        EXPECT_EQ(entry.head.find("Location"), std::string::npos) << cookie;
    }
}

TEST(Entry, TheWholeSignInWorksForTheDemoAccount) {
    ProviderProcess provider;
    ASSERT_TRUE(provider.Running());
    WebmailClient client(provider.Port());
    ASSERT_TRUE(client.SignIn("demo@163.example", "vantlo-demo"));
    EXPECT_EQ(client.Host(), provider.HostPort());
    EXPECT_EQ(client.Sid().size(), 32u);
    EXPECT_FALSE(WebmailClient(provider.Port()).SignIn("demo@163.example", "wrong"));
}

}  // namespace
}  // namespace providertest
