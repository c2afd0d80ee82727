// The sign-in server, the entry servers and the notice server of a real
// provider process.
#include <gtest/gtest.h>

#include "provider_process.h"
#include "webmail_client.h"

namespace providertest {
namespace {

// The piece that starts with `name` and runs through the next ";", as the
// client cuts it out of the head.
std::string Piece(const std::string& head, const std::string& name) {
    std::size_t start = head.find(name);
    std::size_t end = head.find(';', start);
    return start == std::string::npos || end == std::string::npos ? std::string() : head.substr(start, end - start + 1);
}

TEST(SignIn, RightPasswordsOpenASessionNamingThisProviderWrongOnesNothing) {
    const std::string password = "p&w=r d+50%密";
    testsupport::ProviderProcess provider({"Tester@163.example:" + password, "other@126.example:pw"});
    ASSERT_TRUE(provider.Running());
    RawAnswer signIn = Exchange(provider.Port(), WebmailClient::SignInRequest("TESTER@163.example", password));
    EXPECT_LT(signIn.head.size() + 4, 1000u);  // the client refuses heads of 1024 bytes or more
    EXPECT_EQ(Piece(signIn.head, "P_INFO").rfind("P_INFO=tester@163.example|", 0), 0u) << signIn.head;
    for (const char* name : {"NTES_SESS=", "S_INFO="}) EXPECT_GT(Piece(signIn.head, name).size(), 12u) << name;
    for (bool secondDomain : {false, true}) {
        RawAnswer entry =
            Exchange(provider.Port(),
                     WebmailClient::EntryRequest("Tester@163.example", Piece(signIn.head, "NTES_SESS"), secondDomain));
        // "Coremail=" + 14 characters + the 32-character sid + ";", before the first "Location: ".
        const std::string coremail = Piece(entry.head, "Coremail");
        ASSERT_GE(coremail.size(), 9u + 14 + 32 + 1) << entry.head;
        EXPECT_LT(entry.head.find("Coremail"), entry.head.find("Location: "));
        EXPECT_EQ(entry.Header("Location"),
                  "http://" + provider.HostPort() + "/coremail/index.jsp?sid=" + coremail.substr(23, 32));
    }
    for (const auto& [user, pass] : {std::pair<std::string, std::string>{"tester@163.example", "P&w=r d+50%密"},
                                     {"tester@163.example", ""},
                                     {"nobody@163.example", password},
                                     {"other@126.example", password}}) {
        RawAnswer answer = Exchange(provider.Port(), WebmailClient::SignInRequest(user, pass));
        EXPECT_TRUE(answer.status >= 400 && answer.raw.find("NTES_SESS") == std::string::npos) << user << " " << pass;
    }
    const std::string otherCookie =
        Piece(Exchange(provider.Port(), WebmailClient::SignInRequest("other@126.example", "pw")).head, "NTES_SESS");
    for (const std::string& cookie : {std::string("NTES_SESS=forged;"), std::string(), otherCookie}) {
        RawAnswer entry = Exchange(provider.Port(), WebmailClient::EntryRequest("tester@163.example", cookie));
        EXPECT_TRUE(entry.status >= 400 && entry.raw.find("Coremail") == std::string::npos) << cookie;
    }
}

TEST(Notice, IsAUtf8TextWithOneLinkBehindAByteOrderMark) {
    testsupport::ProviderProcess provider;
    RawAnswer answer = Exchange(provider.Port(), "GET /pubinfo/Vantlo HTTP/1.1\r\nHost: notice.example\r\n\r\n");
    // The client drops the first UTF-16 unit of the body: the mark.
    EXPECT_EQ(answer.body.substr(0, 3), "\xEF\xBB\xBF");
    const std::size_t link = answer.body.find("http://" + provider.HostPort() + "/pubinfo/Vantlo");
    EXPECT_TRUE(link != std::string::npos && answer.body.find("http", link + 1) == std::string::npos);
}

}  // namespace
}  // namespace providertest
