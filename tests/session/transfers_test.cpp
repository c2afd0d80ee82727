// Uploads and downloads against the fault server: the form's bytes, the
// delivery, and bodies in every coding.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "session/download.h"
#include "session/upload.h"
#include "session_fixture.h"

namespace {

using session::Status;
using testsupport::Action;
using testsupport::HttpAnswer;
using testsupport::Script;

const std::string kComposed = HttpAnswer("{'code':'S_OK','var':'c0ffee42'}"), kOk = HttpAnswer("{'code':'S_OK'}");
const std::string kA = std::string(27, '-') + "aaaaaaaaaaaaa", kB = std::string(27, '-') + "bbbbbbbbbbbbb";

struct TransfersTest : testsupport::SessionTest {
    std::vector<std::string> boundaries;
    TransfersTest() {
        session::SetUploadBoundarySource([this] {
            std::string next = boundaries.empty() ? kA : boundaries.front();
            if (!boundaries.empty()) boundaries.erase(boundaries.begin());
            return next;
        });
    }
    ~TransfersTest() override { session::SetUploadBoundarySource({}); }
    // The file's bytes, then its delivery as a mail of that name.
    Status Upload(const std::vector<std::string>& answers, const std::string& bytes = "data") {
        for (const std::string& answer : answers) server.PushAnswer(answer);
        const std::string name = "r\xC3\xA9port \"q\".txt";
        Status status = session::UploadFileRange(s, {File(name, bytes), 0, bytes.size(), name}, {});
        return status == Status::Ok ? session::DeliverFile(s, name, "", name, bytes.size()) : status;
    }
};

TEST_F(TransfersTest, TheFormCarriesTheBaseNameItsBoundaryAndEveryByte) {
    for (std::size_t size : {std::size_t{0}, std::size_t{5120}, std::size_t{204800 + 5121}}) {
        // The fixed delimiter of old, which once cut such files short.
        const std::string bytes =
            testsupport::NoiseBytes(size, 1) + "\r\n-----------------------------7d95d2346050c--\r\nafter";
        ASSERT_EQ(Upload({kComposed, kOk, kOk}, bytes), Status::Ok);
        const std::string form = server.Requests().at(server.Requests().size() - 2);
        const std::string part = "--" + kA +
                                 "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"r\xC3\xA9"
                                 "port %22q%22.txt\"\r\nContent-Type: application/octet-stream\r\n\r\n";
        const std::string tail = "\r\n--" + kA +
                                 "\r\nContent-Disposition: form-data; name=\"file2\"; filename=\"\""
                                 "\r\nContent-Type: application/octet-stream\r\n\r\n\r\n--" +
                                 kA + "--\r\n";
        const std::size_t head = form.find("\r\n\r\n") + 4;
        EXPECT_EQ(form.substr(0, head),
                  "POST /a/p/upload.html?sid=" + std::string(testsupport::kSid) +
                      "&composeId=c0ffee42 HTTP/1.1\r\nAccept: */*\r\nHost: " + server.HostPort() +
                      "\r\nContent-Length: " + std::to_string(part.size() + bytes.size() + tail.size()) +
                      "\r\nContent-Type: multipart/form-data; boundary=" + kA +
                      "\r\nUser-Agent: Ostrel Mail Tools; Unix 7.2\r\nConnection: Keep-Alive\r\nCookie: " +
                      testsupport::kCookies + "\r\n\r\n");
        EXPECT_TRUE(form.substr(head) == part + bytes + tail) << "size " << size;
        EXPECT_NE(server.Requests().back().find("<string name=\"subject\">r\xC3\xA9port &quot;q&quot;.txt</string>"),
                  std::string::npos);
        EXPECT_NE(server.Requests().back().find("<int name=\"size\">" + std::to_string(bytes.size()) + "</int>"),
                  std::string::npos);
    }
}

TEST_F(TransfersTest, AFileThatHoldsItsBoundaryIsSentAgainWithAnother) {
    boundaries = {kA, kB};
    const std::string bytes = std::string(204800 - 10, 'x') + "--" + kA + "z";  // across the first send buffer's end
    ASSERT_EQ(Upload({kComposed, kOk, kOk, kOk}, bytes), Status::Ok);
    ASSERT_EQ(server.Requests().size(), 4u);
    const std::string stopped = server.Requests()[1];
    EXPECT_EQ(stopped.find(kA, stopped.find("octet-stream")), std::string::npos) << "it stopped before the boundary";
    EXPECT_NE(server.Requests()[2].find("--" + kB + "\r\n"), std::string::npos);
    EXPECT_NE(server.Requests()[2].find(bytes), std::string::npos);
    boundaries = {kA, kA, kA, kA};
    EXPECT_EQ(Upload({kComposed, kOk}, std::string(100, 'x') + kA), Status::BoundaryClash);
}

TEST_F(TransfersTest, RefusalsOfTheUploadOrDeliveryKeepTheProvidersCode) {
    // clang-format off
    const std::tuple<std::vector<std::string>, Status, const char*> cases[] = {
        {{kComposed, HttpAnswer("{'code':'FA_OVERFLOW','var':null}")}, Status::Refused, "FA_OVERFLOW"},
        {{kComposed, "HTTP/1.1 413 Too Large\r\nContent-Length: 0\r\n\r\n"}, Status::Refused, ""},
        {{kComposed, "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{'code':"}, Status::Incomplete, ""},
        {{kComposed, HttpAnswer("<html>ok</html>"), HttpAnswer("{'code':'FA_NO_RECIPIENT'}")}, Status::Refused,
         "FA_NO_RECIPIENT"},
        {{HttpAnswer("{'code':'S_OK','var':'a&b'}")}, Status::Unreadable, ""},
    };
    // clang-format on
    for (const auto& [answers, status, code] : cases) {
        std::size_t before = server.Requests().size();
        EXPECT_EQ(Upload(answers), status) << answers.back();
        EXPECT_EQ(s.refusalCode, code);
        EXPECT_EQ(server.Requests().size() - before, answers.size()) << "nothing after a refusal";
    }
}

TEST_F(TransfersTest, ASourceThatShrinksWhileItIsSentFails) {
    const std::filesystem::path path = File("shrinking.bin", testsupport::NoiseBytes(600000, 2));
    server.PushAnswer(kComposed);
    server.PushAnswer(kOk);  // what a careless sender would take for the file stored
    const session::FileRange range{path, 0, 600000, "shrinking.bin"};
    std::uint64_t shrunkAt = 0;
    const Status status = session::UploadFileRange(s, range, [&](std::uint64_t sent) {
        if (!shrunkAt) std::filesystem::resize_file(path, shrunkAt = sent);
        return true;
    });
    EXPECT_EQ(status, Status::FileError);
    EXPECT_GT(shrunkAt, 0u);
}

TEST_F(TransfersTest, DownloadsTakeEveryCodingAndEndOnlyWithTheWholeBody) {
    const std::string body = testsupport::NoiseBytes(100000, 3), gz = testsupport::Coded(body),
                      head = "HTTP/1.1 200 OK\r\n";
    const std::string chunked = "Transfer-Encoding: chunked\r\n", gzip = "Content-Encoding: gzip\r\n";
    const std::string chunks = "8000\r\n" + body.substr(0, 32768) + "\r\n10000\r\n" + body.substr(32768, 65536) +
                               "\r\n6a0\r\n" + body.substr(98304) + "\r\n0\r\n\r\n";
    // clang-format off
    const std::pair<Action, Status> cases[] = {
        {Script(HttpAnswer(body)), Status::Ok},
        {Script(head + chunked + "\r\n" + chunks), Status::Ok},
        {Script(head + gzip + "\r\n" + gz), Status::Ok},
        {Script("HTTP/1.1 299 Fine\r\nContent-Length: 100000\r\n\r\n" + body), Status::Ok},
        {Script("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!"), Status::Refused},
        {Script("HTTP/1.1 199 Early\r\n\r\n" + body), Status::Refused},
        {Script("HTTP/1.1 300 Elsewhere\r\n\r\n" + body), Status::Refused},
        {Script("HTTP/1.1 400 Bad\r\n\r\n" + body), Status::Refused},
        {Script("HTTP/1.1 599 Odd\r\n\r\n" + body), Status::Refused},
        {Script("HTTP/1.1 2000 OK\r\n\r\n" + body), Status::Unreadable},  // four digits: no status code
        {Script(HttpAnswer(body), Action::Cut, 50000), Status::Incomplete},
        {Script(HttpAnswer(body), Action::Reset, 50000), Status::Incomplete},
        {Script(head + chunked + "\r\n" + chunks.substr(0, 40000)), Status::Incomplete},
        {Script(head + gzip + chunked + "\r\n100\r\n" + gz.substr(0, 256) + "\r\n0\r\n\r\n"), Status::Incomplete},
        {Script(head + gzip + "\r\n" + testsupport::Coded(std::string(200000, 'z'))), Status::AnswerTooLarge},
        {Script("<html>\r\n\r\n"), Status::Unreadable},
        {Script(HttpAnswer(body), Action::Stall, 3000), Status::TooSlow},  // silence ends on the speed bound
        {Script(HttpAnswer(body), Action::Trickle, 3000), Status::TooSlow},
        {Script(HttpAnswer(std::string(150001, 'x'))), Status::AnswerTooLarge},
        // A refusal in script text, last: its code stays in the session.
        {Script(HttpAnswer("{'code':'FA_INVALID_SESSION'}", "Content-Type: text/javascript; charset=utf-8\r\n")),
         Status::Refused},
    };
    // clang-format on
    s.limits.idleTimeoutMs = 500;
    s.limits.speedTimeMs = 300;
    for (const auto& [answer, status] : cases) {
        server.Push(answer);
        std::string got;
        const auto sink = [&](const char* data, std::size_t size) { return got.append(data, size), true; };
        EXPECT_EQ(session::FetchAttachment(s, "m1", 150000, sink), status) << answer.bytes.substr(0, 60);
        EXPECT_TRUE(status == Status::Ok ? got == body : status != Status::Refused || got.empty())
            << "a refusal is not taken for the file's bytes";
    }
    EXPECT_EQ(s.refusalCode, "FA_INVALID_SESSION");
    server.Push(Script(HttpAnswer(body)));
    EXPECT_EQ(session::FetchAttachment(s, "m1", 150000, [](const char*, std::size_t) { return false; }),
              Status::Cancelled);
    // Bytes that keep coming, fewer in a window than the bound asks, end on it too (no wait ever runs out).
    s.limits.speedLimitBytes = 1 << 30;
    s.limits.speedTimeMs = 2;
    server.Push(Script(HttpAnswer(body)));
    const auto slowSink = [](const char*, std::size_t) {
        return std::this_thread::sleep_for(std::chrono::milliseconds(5)), true;
    };
    EXPECT_EQ(session::FetchAttachment(s, "m1", 150000, slowSink), Status::TooSlow);
}

}  // namespace
