// The sign-in server, the entry servers and the notice server of a real
// provider process.
#include "session/cells.h"
#include "session/http_head.h"
#include "session/signin.h"
#include "signed_in_provider.h"

namespace providertest {
namespace {

using session::CellText;

TEST(SignIn, RightPasswordsOpenASessionNamingThisProviderWrongOnesNothing) {
    const std::string password = "p&w=r d+50%密";
    testsupport::ProviderProcess provider({"Tester@163.example:" + password, "other@126.example:pw"});
    ASSERT_TRUE(provider.Running());
    for (int entry : {1, 2}) {  // the entry servers of both request forms
        session::Session s;
        s.providerOverride = provider.HostPort();
        ASSERT_EQ(session::SignIn(s, "TESTER@163.example", entry, password), session::Status::Ok) << entry;
        EXPECT_EQ(CellText(s.pInfoCookie).rfind("P_INFO=tester@163.example|", 0), 0u) << CellText(s.pInfoCookie);
        EXPECT_GT(CellText(s.sInfoCookie).size() + CellText(s.ntesSessCookie).size(), 24u);
        // A fresh entry answer: its Location names the webmail page of this
        // provider with the sid that its Coremail cookie carries before it.
        const std::string entryAnswer =
            RawExchange(provider.Port(), session::BuildEntryRequest(s, "TESTER@163.example", entry));
        const std::size_t cookie = entryAnswer.find("Coremail=");
        ASSERT_NE(cookie, std::string::npos) << entryAnswer;
        const std::size_t location =
            entryAnswer.find("\r\nLocation: http://" + provider.HostPort() +
                             "/coremail/index.jsp?sid=" + entryAnswer.substr(cookie + 23, 32) + "\r\n");
        EXPECT_TRUE(location != std::string::npos && cookie < location) << entryAnswer;
        EXPECT_EQ(CellText(s.host), provider.HostPort());
    }
    session::Session other;
    ASSERT_EQ(SignInTo(other, provider, "other@126.example", "pw"), session::Status::Ok);
    for (const auto& [user, pass] : {std::pair<std::string, std::string>{"tester@163.example", "P&w=r d+50%密"},
                                     {"tester@163.example", ""},
                                     {"nobody@163.example", password},
                                     {"other@126.example", password}}) {
        const std::string answer = RawExchange(provider.Port(), session::BuildSignInRequest(other, user, 1, pass));
        EXPECT_TRUE(session::StatusCode(answer) >= 400 && answer.find("NTES_SESS") == std::string::npos) << user;
    }
    // The entry takes no forged cookie, none, nor another account's.
    for (const std::string& cookie :
         {std::string("NTES_SESS=forged;"), std::string(), std::string(CellText(other.ntesSessCookie))}) {
        session::SetCell(other.ntesSessCookie, cookie);
        const std::string entry =
            RawExchange(provider.Port(), session::BuildEntryRequest(other, "tester@163.example", 1));
        EXPECT_TRUE(session::StatusCode(entry) >= 400 && entry.find("Coremail") == std::string::npos) << cookie;
    }
}

TEST(Notice, IsAUtf8TextWithOneLinkBehindAByteOrderMark) {
    testsupport::ProviderProcess provider;
    const std::string body =
        BodyOf(RawExchange(provider.Port(), "GET /pubinfo/Vantlo HTTP/1.1\r\nHost: notice.example\r\n\r\n"));
    // The client drops the first UTF-16 unit of the body: the mark.
    EXPECT_EQ(body.substr(0, 3), "\xEF\xBB\xBF");
    const std::size_t link = body.find("http://" + provider.HostPort() + "/pubinfo/Vantlo");
    EXPECT_TRUE(link != std::string::npos && body.find("http", link + 1) == std::string::npos);
}

}  // namespace
}  // namespace providertest
