// The answer-head readers the transfers judge answers by: status codes,
// header values, Content-Length, and which ids may stand in a query.
#include <gtest/gtest.h>

#include <string>

#include "session/http_head.h"

namespace {

using session::LengthField;

TEST(HttpHead, StatusCodeOfTheFirstLine) {
    struct Case {
        const char* answer;
        int code;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\n", 200},
        {"HTTP/1.0 404 Not Found\r\n\r\n", 404},
        {"HTTP/1.1 500\r\n", 500},
        {"HTTP/1.1 302", 302},
        {"HTTP/1.1 20 OK\r\n", 0},
        {"HTTP/1.1 2000 OK\r\n", 0},
        {"HTTP/2 200 OK\r\n", 0},
        {"http/1.1 200 OK\r\n", 0},
        {" HTTP/1.1 200 OK\r\n", 0},
        {"{'code':'S_OK'}", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(session::StatusCode(c.answer), c.code) << c.answer;
        EXPECT_EQ(session::IsErrorStatus(c.answer), c.code >= 400) << c.answer;
    }
}

TEST(HttpHead, HeaderValuesByNameWithoutRegardToCase) {
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type:  text/plain \r\ntransfer-encoding: chunked\r\nX-Empty:\r\nX-Last: end";
    struct Case {
        const char* name;
        bool found;
        const char* value;
    } cases[] = {
        {"Content-Type", true, "text/plain"},
        {"CONTENT-TYPE", true, "text/plain"},
        {"Transfer-Encoding", true, "chunked"},
        {"X-Empty", true, ""},
        {"X-Last", true, "end"},
        {"HTTP/1.1 200 OK", false, ""},
        {"Content", false, ""},
        {"Content-Length", false, ""},
    };
    for (const Case& c : cases) {
        std::string_view value = "untouched";
        EXPECT_EQ(session::HeaderValue(head, c.name, value), c.found) << c.name;
        if (c.found) {
            EXPECT_EQ(value, c.value) << c.name;
        }
    }
}

TEST(HttpHead, ContentLengthIsAPlainNumberOrMalformed) {
    struct Case {
        const char* lines;
        LengthField field;
        std::uint64_t length;
    } cases[] = {
        {"Content-Length: 0", LengthField::Valid, 0},
        {"Content-Length: 2147483648", LengthField::Valid, 2147483648u},
        {"content-length:17", LengthField::Valid, 17},
        {"Content-Length: 5\r\nContent-Length: 5", LengthField::Valid, 5},
        {"Content-Type: text/plain", LengthField::Absent, 0},
        {"Content-Length: 5\r\nContent-Length: 6", LengthField::Malformed, 0},
        {"Content-Length: -1", LengthField::Malformed, 0},
        {"Content-Length: 1e3", LengthField::Malformed, 0},
        {"Content-Length: ", LengthField::Malformed, 0},
        {"Content-Length: 1 2", LengthField::Malformed, 0},
        {"Content-Length: 9999999999999999999", LengthField::Malformed, 0},
    };
    for (const Case& c : cases) {
        std::uint64_t length = 0;
        EXPECT_EQ(session::ContentLength(std::string("HTTP/1.1 200 OK\r\n") + c.lines, length), c.field) << c.lines;
        if (c.field == LengthField::Valid) {
            EXPECT_EQ(length, c.length) << c.lines;
        }
    }
}

TEST(HttpHead, PlainQueryValues) {
    struct Case {
        const char* value;
        bool plain;
    } cases[] = {
        {"1tbiAQAAAAA", true}, {"1:1tbiAQ+/=_-.~", true}, {"", true},      {"a b", false},  {"a&b", false},
        {"a#b", false},        {"a%20", false},           {"a?b", false},  {"a'b", false},  {"a\"b", false},
        {"a<b>", false},       {"a\\b", false},           {"a\rb", false}, {"\x7f", false}, {"\xe6\x96\x87", false},
    };
    for (const Case& c : cases) EXPECT_EQ(session::IsPlainQueryValue(c.value), c.plain) << c.value;
}

}  // namespace
