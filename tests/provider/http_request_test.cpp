#include "http_request.h"

#include <gtest/gtest.h>

namespace provider {
namespace {

TEST(ParseRequestHead, ReadsRequestLineAndHeaders) {
    HttpRequest request;
    ASSERT_TRUE(
        ParseRequestHead("POST /a/s?sid=abc&func=mbox:getAllFolders HTTP/1.1\r\nHost: 127.0.0.1:80\r\n"
                         "Cookie: S_INFO=1;P_INFO=2;\r\ncookie:  Coremail=3; \r\nContent-Length: 12",
                         request));
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/a/s");
    EXPECT_EQ(request.query, "sid=abc&func=mbox:getAllFolders");
    EXPECT_EQ(request.version, "HTTP/1.1");
    ASSERT_NE(request.Header("host"), nullptr);
    EXPECT_EQ(*request.Header("HOST"), "127.0.0.1:80");
    EXPECT_EQ(request.JoinedHeader("Cookie"), "S_INFO=1;P_INFO=2;; Coremail=3;");
    EXPECT_EQ(request.Header("Missing"), nullptr);
}

TEST(ParseRequestHead, RefusesMalformedHeads) {
    const char* cases[] = {
        "",
        "GET",
        "GET /",
        "GET / HTTP/2.0",
        "GET / HTTP/1.1 extra",
        "GET  / HTTP/1.1",
        "GET relative HTTP/1.1",
        "G(T / HTTP/1.1",
        "GET /a b HTTP/1.1",
        "GET / HTTP/1.1\r\nNo colon",
        "GET / HTTP/1.1\r\n: empty name",
        "GET / HTTP/1.1\r\n folded: x",
        "GET / HTTP/1.1\r\nBad\x01Name: x",
        "GET / HTTP/1.1\r\nX: bad\x01value",
        "GET / HTTP/1.1\r\n\r\nX: after blank",
    };
    for (const char* head : cases) {
        HttpRequest request;
        EXPECT_FALSE(ParseRequestHead(head, request)) << head;
    }
    HttpRequest request;
    EXPECT_TRUE(ParseRequestHead("GET /pubinfo/Vantlo HTTP/1.0\nAccept: */*\n", request));
}

TEST(ReadBodyLength, AcceptsOnlyOneClearLength) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> headers;
        BodyLength kind;
        std::uint64_t length;
    } cases[] = {
        {{}, BodyLength::None, 0},
        {{{"Content-Length", "0"}}, BodyLength::Known, 0},
        {{{"content-length", "2147484671"}}, BodyLength::Known, 2147484671ULL},
        {{{"Content-Length", "12"}, {"Content-Length", "12"}}, BodyLength::Known, 12},
        {{{"Content-Length", "12"}, {"Content-Length", "13"}}, BodyLength::Invalid, 0},
        {{{"Content-Length", "-1"}}, BodyLength::Invalid, 0},
        {{{"Content-Length", "1e3"}}, BodyLength::Invalid, 0},
        {{{"Content-Length", ""}}, BodyLength::Invalid, 0},
        {{{"Content-Length", "99999999999999999999"}}, BodyLength::Invalid, 0},
        {{{"Transfer-Encoding", "chunked"}}, BodyLength::Unsupported, 0},
    };
    for (const Case& c : cases) {
        HttpRequest request;
        request.headers = c.headers;
        std::uint64_t length = 99;
        EXPECT_EQ(ReadBodyLength(request, length), c.kind);
        if (c.kind == BodyLength::Known) {
            EXPECT_EQ(length, c.length);
        }
    }
}

}  // namespace
}  // namespace provider
