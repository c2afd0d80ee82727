// GET /pubinfo/Vantlo: the notice text.
#include <gtest/gtest.h>

#include "provider_process.h"
#include "raw_http.h"
#include "text_rules.h"

namespace providertest {
namespace {

TEST(Notice, IsAUtf8TextWithOneLinkBehindAByteOrderMark) {
    testsupport::ProviderProcess provider;
    ASSERT_TRUE(provider.Running());
    // The request as the desktop client sends it.
    RawAnswer answer =
        Exchange(provider.Port(),
                 "GET /pubinfo/Vantlo HTTP/1.1\r\nAccept: */*\r\nHost: notice.example\r\n"
                 "Content-Type: application/xml\r\nUser-Agent: Vantlo 1.1.10\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(answer.status, 200);
    EXPECT_TRUE(answer.closedByServer);
    EXPECT_EQ(answer.Header("Content-Length"), std::to_string(answer.body.size()));
    // The client drops the first UTF-16 unit of the body: the mark.
    ASSERT_EQ(answer.body.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_TRUE(provider::IsValidUtf8(answer.body));
    EXPECT_NE(answer.body.find("公告"), std::string::npos);
    std::size_t link = answer.body.find("http://");
    ASSERT_NE(link, std::string::npos);
    EXPECT_EQ(answer.body.find("http://", link + 1), std::string::npos);
    EXPECT_EQ(answer.body.substr(link, 7 + provider.HostPort().size()), "http://" + provider.HostPort());
}

}  // namespace
}  // namespace providertest
