// Reading answers: the body decoder over every framing and coding, the
// exchange over a misbehaving server, and the verdict of a script answer.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "loopback_socket.h"
#include "session/body_decoder.h"
#include "session/exchange.h"
#include "session/script_request.h"
#include "session_fixture.h"

namespace {

using session::Status;
using testsupport::Action;
using testsupport::Coded;

TEST(BodyDecoder, EveryFramingAndCodingWholeOrByteByByte) {
    const std::string text = "{'code':'S_OK','var':'" + std::string(3000, 'x') + "'}";
    const std::string gz = Coded(text);
    std::string badCheck = gz;
    badCheck[badCheck.size() - 6] ^= 1;  // the CRC of the gzip trailer
    const std::string bomb = Coded(std::string(4 << 20, '\0'));
    const std::string gzipped = "Content-Encoding: gzip\r\n", chunked = "Transfer-Encoding: chunked\r\n";
    auto chunk = [](const std::string& bytes) {
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
        return size + bytes + "\r\n";
    };
    // clang-format off
    struct Case {
        const char* name;
        std::string head, body;
        Status status;
        std::string decoded;
        std::uint64_t limit = 1 << 20;
    } cases[] = {
        {"length", "content-length:  5 ", "hello", Status::Ok, "hello"},
        {"two lengths", "Content-Length: 5\r\nContent-Length: 6", "hello", Status::Unreadable, ""},
        {"bytes past the length", "Content-Length: 3", "hello", Status::Ok, "hel"},
        {"shorter than its length", "Content-Length: 10", "hello", Status::Incomplete, "hello"},
        {"until the close", "X: y", "hello", Status::Ok, "hello"},
        {"chunks", "transfer-encoding: Chunked", "5\r\nhello\r\n6;ext=1\r\n world\r\n0\r\nX-Trailer: 1\r\n\r\n", Status::Ok, "hello world"},
        {"cut at a chunk boundary", chunked, "5\r\nhello\r\n", Status::Incomplete, "hello"},
        {"cut inside a chunk", chunked, "5\r\nhel", Status::Incomplete, "hel"},
        {"size line says more", chunked, "a\r\nhello\r\n0\r\n\r\n", Status::Incomplete, "hello\r\n0\r\n"},
        {"size line says less", chunked, "3\r\nhelxy5\r\nworld\r\n0\r\n\r\n", Status::Unreadable, "hel"},
        {"gzip", gzipped + "Content-Length: " + std::to_string(gz.size()), gz, Status::Ok, text},
        {"chunked gzip", chunked + gzipped, chunk(gz.substr(0, 16)) + chunk(gz.substr(16)) + "0\r\n\r\n", Status::Ok, text},
        {"deflate", "Content-Encoding: deflate", Coded(text, 15), Status::Ok, text},
        {"gzip cut short", gzipped, gz.substr(0, gz.size() / 2), Status::Incomplete, ""},
        {"gzip with a wrong check sum", gzipped, badCheck, Status::Unreadable, text},
        {"decompression bomb", gzipped, bomb, Status::AnswerTooLarge, ""},
        {"length past the limit", "Content-Length: 6", "123456", Status::AnswerTooLarge, "", 5},
        {"unknown content coding", "Content-Encoding: br", "x", Status::Unreadable, ""},
        {"unknown transfer coding", "Transfer-Encoding: gzip, chunked", "x", Status::Unreadable, ""},
        {"malformed length", "Content-Length: 5x", "hello", Status::Unreadable, ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        for (std::size_t step : {c.body.size() + 1, std::size_t{1}}) {
            SCOPED_TRACE(std::string(c.name) + (step == 1 ? ", byte by byte" : ""));
            session::BodyDecoder decoder;
            std::string decoded;
            auto sink = [&](const char* data, std::size_t n) { return decoded.append(data, n), true; };
            Status status = decoder.Start("HTTP/1.1 200 OK\r\n" + c.head, c.limit);
            for (std::size_t at = 0; status == Status::Ok && at < c.body.size(); at += step)
                status = decoder.Feed(c.body.data() + at, std::min(step, c.body.size() - at), sink);
            if (status == Status::Ok) status = decoder.Finish();
            EXPECT_EQ(status, c.status);
            if (c.decoded.size() || c.status == Status::Ok) {
                EXPECT_EQ(decoded, c.decoded);
            }
        }
    }
}

using ExchangeTest = testsupport::SessionTest;

TEST_F(ExchangeTest, HostileAnswersEndWithTheirOwnStatus) {
    using session::AppendMode;
    using testsupport::Script;
    const std::string ok = testsupport::HttpAnswer("{'code':'S_OK'}"),
                      script = "{'v':'" + std::string(20000, 'v') + "'}";
    const std::string zero = "{'code':'S_OK'}" + std::string(1, '\0') + "{'code':'FA_X'}";
    struct Case {
        Action action;
        Status status;
        std::string body;  // the whole body when the status is Ok, else its start
        AppendMode append = AppendMode::Text;
    };
    // clang-format off
    const Case cases[] = {
        {Script(ok, Action::Stall, ok.size()), Status::Ok, "{'code':'S_OK'}"},  // complete at its length
        {Script("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n\r\n" + Coded(script)), Status::Ok, script},
        {Script("HTTP/1.1 200 OK\r\n\r\n{'code':'S_OK'}", Action::Reset, 25), Status::Incomplete, ""},
        {Script(ok, Action::Stall, 10), Status::TimedOut, ""},
        {Script(ok, Action::Trickle), Status::TimedOut, ""},  // past the whole-answer bound
        {Script("\x16\x03\x01 random bytes"), Status::Unreadable, ""},
        {Script(testsupport::HttpAnswer(std::string(300000, 'x'))), Status::AnswerTooLarge, ""},
        {Script("HTTP/1.1 2000 OK\r\nContent-Length: 2\r\n\r\nok"), Status::Unreadable, ""},  // no code
        {Script("HTTP/1.1 200 OK\r\n\r\n" + zero), Status::Ok, "{'code':'S_OK'}"},  // text ends at a zero
        {Script("HTTP/1.1 200 OK\r\n\r\n" + zero), Status::Ok, zero, AppendMode::Bytes},
    };
    // clang-format on
    s.limits.idleTimeoutMs = 400;
    s.limits.answerTimeoutMs = 300;
    session::Request request(100);
    request.Line("GET / HTTP/1.1").Line("");
    for (const Case& c : cases) {
        const session::ExchangeStyle style{
            session::Style::Guarded, 6, session::Style::Guarded, 15, session::Style::Guarded, 9, c.append};
        server.Push(c.action);
        session::Answer answer;
        EXPECT_EQ(session::Exchange(session::WebmailEndpoint(s), request, style, s.limits, answer), c.status)
            << c.action.bytes;
        EXPECT_EQ(c.status == Status::Ok ? answer.Body() : answer.Body().substr(0, c.body.size()), c.body);
    }
}

// Every guarded wait, and the plain connect, ends within the idle bound;
// a guarded connect tries as often as it may, pausing in between.
TEST_F(ExchangeTest, EveryWaitEndsWithinItsIdleBound) {
    using session::Style;
    // A listener whose queue is full leaves every further connection
    // waiting; one that never accepts takes a connection and reads nothing.
    std::uint16_t fullPort = 0, deafPort = 0;
    const int full = testsupport::LoopbackSocket(fullPort, true, 0),
              filler = testsupport::LoopbackSocket(fullPort, false);
    const int deaf = testsupport::LoopbackSocket(deafPort, true);
    ASSERT_TRUE(full >= 0 && filler >= 0 && deaf >= 0);
    // A send that blocks past every bound is broken off, so the test ends.
    std::promise<void> finished;
    std::thread watchdog([deaf, done = finished.get_future()] {
        if (done.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) ::shutdown(deaf, SHUT_RDWR);
    });
    server.Push(testsupport::Script("", Action::Stall));
    const std::string stalling = server.HostPort();
    s.limits.idleTimeoutMs = 300;
    s.limits.connectAttempts = 3;
    s.limits.connectRetryPauseMs = 100;
    struct Case {
        const char* name;
        std::string hostPort;
        Style connect, receive;
        std::size_t requestSize;
        Status status;
        int leastMs;  // the waits it must have made: idle bounds and pauses
    } cases[] = {
        {"guarded connect", "127.0.0.1:" + std::to_string(fullPort), Style::Guarded, Style::Guarded, 10,
         Status::ConnectWaitFailed, 3 * 300 + 2 * 100},
        {"plain connect", "127.0.0.1:" + std::to_string(fullPort), Style::Plain, Style::Plain, 10,
         Status::ConnectFailed, 300},
        {"guarded send", "127.0.0.1:" + std::to_string(deafPort), Style::Guarded, Style::Guarded, 16 << 20,
         Status::TimedOut, 300},
        {"guarded receive", stalling, Style::Guarded, Style::Guarded, 10, Status::TimedOut, 300},
        {"plain receive", stalling, Style::Plain, Style::Plain, 10, Status::TimedOut, 300},
    };
    for (const Case& c : cases) {
        session::SetCell(s.host, c.hostPort);
        session::Request request(c.requestSize);
        request << std::string(c.requestSize, 'r');
        const session::ExchangeStyle style{c.connect, 6, Style::Guarded, 15, c.receive, 9, session::AppendMode::Text};
        session::Answer answer;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(session::Exchange(session::WebmailEndpoint(s), request, style, s.limits, answer), c.status) << c.name;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_GE(ms.count(), c.leastMs - 20) << c.name;
        EXPECT_LT(ms.count(), c.leastMs + 5000) << c.name;  // far below the waits of whole seconds
    }
    finished.set_value();
    watchdog.join();
    for (int fd : {full, filler, deaf}) ::close(fd);
}

TEST(ScriptVerdict, TheAnswersOwnCodeDecides) {
    // clang-format off
    const std::tuple<const char*, Status, const char*> cases[] = {
        {"{\n'code':'S_OK',\n'var':{'x':'}'}\n}", Status::Ok, ""},
        {"{'code':'FA_OVERFLOW','var':null}", Status::Refused, "FA_OVERFLOW"},
        {"{'var':{'code':'S_OK'},'code':'FA_NAME_EXISTS'}", Status::Refused, "FA_NAME_EXISTS"},
        {"{'summary':'code','x':{'code':'S_OK'}}", Status::Unreadable, ""},
        {"{'code':'S_OK','var':[1,2", Status::Incomplete, ""},
        {"{'code':'S_OK','var':'it\\'s", Status::Incomplete, ""},
        {"<html>500</html>", Status::Unreadable, ""},
        {"", Status::Unreadable, ""},
    };
    // clang-format on
    for (const auto& [body, status, code] : cases) {
        std::string refusal = "stale";
        EXPECT_EQ(session::ScriptVerdict(body, refusal), status) << body;
        EXPECT_EQ(refusal, code) << body;
    }
}

}  // namespace
