#include "connection_log.h"

#include <gtest/gtest.h>

namespace provider {
namespace {

TEST(ConnectionLog, HeadsKeepTheirBytesButNoSecrets) {
    EXPECT_EQ(LoggedHead("GET /x?user=a&password=p%20w&pwd=1&sid=S HTTP/1.1\r\nCookie: NTES_SESS=abc\r\n"
                         "authorization: Basic eA==\r\nX: \x01\xE6\\"),
              "GET /x?user=a&password=***&pwd=***&sid=S HTTP/1.1\\r\\nCookie: ***\\r\\n"
              "authorization: ***\\r\\nX: \\x01\\xe6\\\\");
    EXPECT_EQ(LoggedHead("garbage"), "garbage");
}

}  // namespace
}  // namespace provider
