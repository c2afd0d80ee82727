// DownloadAttachment against scripted servers: the request, the body as the
// header announces it, refusals, cut-off and stalled answers, and the
// target file, which only a complete download may replace.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "local_files.h"
#include "platform/alert.h"
#include "script_session.h"
#include "scripted_server.h"
#include "session/cells.h"
#include "session/download.h"

namespace {

using session::Status;
using testsupport::Reply;

const char kOldContent[] = "the file as it was before";

std::string ExpectedRequest(const std::string& hostPort, const std::string& id) {
    return "GET /js3/read/readdata.jsp?sid=0123456789abcdef0123456789ABCDEF&mid=" + id +
           "&part=3&mode=inline&action=download_attach HTTP/1.1\r\n"
           "Accept: */*\r\n"
           "Host: " +
           hostPort +
           "\r\n"
           "Content-Type: application/xml\r\n"
           "User-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
           "Connection: close\r\n" +
           testsupport::TestCookieLine() + "\r\n";
}

std::string Head(const std::string& status, const std::string& lines) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\n" + lines +
           "Connection: close\r\n\r\n";
}

std::string WithLength(const std::string& body) {
    return Head("200 OK", "Content-Length: " + std::to_string(body.size()) + "\r\n") + body;
}

Reply Answer(const std::string& bytes, Reply::Kind kind = Reply::Kind::Answer, int stallMs = 5000) {
    Reply reply;
    reply.kind = kind;
    reply.bytes = bytes;
    reply.stallMs = stallMs;
    return reply;
}

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::PointSessionAt(session, server.HostPort());
        target = dir / "saved.bin";
        testsupport::WriteFile(target, kOldContent);
        platform::SetAlertHook(
            [this](const std::string& caption, const std::string& text) { alerts.push_back(caption + "|" + text); });
    }
    void TearDown() override { platform::SetAlertHook({}); }

    Status Download(const std::string& id = "1:1tbiAQ") { return session::DownloadAttachment(session, id, target); }
    void ListMessage(const std::string& id, const std::string& size) {
        session::SetCell(session.messageTable.rows[0].id, id);
        session::SetCell(session.messageTable.rows[0].size, size);
        session::SetCell(session.messageTable.rows[0].subject, "saved.bin");
    }
    void ExpectIdle() {
        EXPECT_EQ(session.downloadIdle.load(), 1);
        EXPECT_EQ(session.downloadReceived.load(), 0);
        EXPECT_EQ(session.downloadTotal.load(), 0);
    }
    // The target holds what it held before and nothing was left beside it.
    void ExpectUntouched() {
        EXPECT_EQ(testsupport::ReadFile(target), kOldContent);
        EXPECT_EQ(dir.EntryCount(), 1u) << "a temporary file was left behind";
    }

    testsupport::ScriptedServer server;
    testsupport::TempDir dir;
    session::Session session;
    std::filesystem::path target;
    std::vector<std::string> alerts;
};

TEST_F(DownloadTest, SendsTheReadPageRequestAndReplacesTheTarget) {
    std::string body = testsupport::RandomBytes(100000, 11);
    server.Push(Answer(WithLength(body)));
    ASSERT_EQ(Download(), Status::Ok);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], ExpectedRequest(server.HostPort(), "1:1tbiAQ"));
    EXPECT_TRUE(testsupport::ReadFile(target) == body);
    EXPECT_EQ(dir.EntryCount(), 1u);
    ExpectIdle();
}

TEST_F(DownloadTest, BodiesOfEveryShapeArriveWhole) {
    struct Case {
        const char* name;
        std::string answer;
        std::string expected;
    } cases[] = {
        {"empty body", WithLength(""), ""},
        {"header only in the first stretch", WithLength(std::string(30000, 'x')), std::string(30000, 'x')},
        {"no length: the close ends it", Head("200 OK", "") + "until close", "until close"},
        {"bytes past the announced length are not written", Head("200 OK", "Content-Length: 5\r\n") + "12345trailing",
         "12345"},
        {"length header in any case", Head("200 OK", "content-length:  3 \r\n") + "abc", "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::WriteFile(target, kOldContent);
        server.Push(Answer(c.answer));
        ASSERT_EQ(Download(), Status::Ok);
        EXPECT_TRUE(testsupport::ReadFile(target) == c.expected);
        EXPECT_EQ(dir.EntryCount(), 1u);
        ExpectIdle();
    }
}

TEST_F(DownloadTest, FailedAnswersLeaveTheTargetAsItWas) {
    std::string half = std::string(1000, 'h');
    struct Case {
        const char* name;
        std::string answer;
        Status expected;
    } cases[] = {
        {"cut off halfway", Head("200 OK", "Content-Length: 2000\r\n") + half, Status::Incomplete},
        {"error status", Head("404 Not Found", "Content-Length: 9\r\n") + "not found", Status::Refused},
        {"server error", Head("500 Internal Server Error", "") + "oops", Status::Refused},
        {"no status line", "garbage without a header end", Status::Incomplete},
        {"not http", "SSH-2.0-OpenSSH\r\n\r\n", Status::Refused},
        {"header longer than the first stretch",
         "HTTP/1.1 200 OK\r\nX-Filler: " + std::string(20480, 'f') + "\r\n\r\nbody", Status::Refused},
        {"chunked body", Head("200 OK", "Transfer-Encoding: chunked\r\n") + "5\r\nhello\r\n0\r\n\r\n", Status::Refused},
        {"malformed length", Head("200 OK", "Content-Length: 12x\r\n") + "body", Status::Refused},
        {"two lengths that disagree", Head("200 OK", "Content-Length: 4\r\nContent-Length: 5\r\n") + "body",
         Status::Refused},
        {"closed at once", "", Status::Incomplete},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.Push(Answer(c.answer));
        EXPECT_EQ(Download(), c.expected);
        ExpectUntouched();
        ExpectIdle();
    }
}

TEST_F(DownloadTest, StalledBodyTimesOutWithCountersShownMeanwhile) {
    session.limits.idleTimeoutMs = 500;
    ListMessage("1:1tbiAQ", "9999");
    std::string half(3000, 'h');
    server.Push(Answer(Head("200 OK", "Content-Length: 6000\r\n") + half, Reply::Kind::AnswerStall, 5000));

    std::atomic<bool> done{false};
    Status status = Status::Ok;
    std::thread download([&] {
        status = Download();
        done = true;
    });
    bool seen = false;
    while (!done && !seen) {
        // The announced length is the exact size; the page lists the whole mail's.
        seen = session.downloadIdle.load() == 0 && session.downloadTotal.load() == 6000 &&
               session.downloadReceived.load() == 3000;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    download.join();
    EXPECT_TRUE(seen) << "the counters never showed the half that arrived";
    EXPECT_EQ(status, Status::TimedOut);
    ExpectUntouched();
    ExpectIdle();
}

TEST_F(DownloadTest, ExpectedSizeComesFromTheListedRowElseStaysTheCallers) {
    session.limits.idleTimeoutMs = 400;
    server.Push(Answer("", Reply::Kind::Stall, 5000));
    struct Case {
        const char* listedId;
        std::int32_t callerTotal;
        std::int32_t expected;
    } cases[] = {{"1:1tbiAQ", 5120, 9999}, {"other", 5120, 5120}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listedId);
        session::ClearMessageTable(session.messageTable);
        ListMessage(c.listedId, "9999");
        session.downloadTotal = c.callerTotal;
        std::atomic<bool> done{false};
        std::thread download([&] {
            EXPECT_EQ(Download(), Status::TimedOut);
            done = true;
        });
        bool seen = false;
        while (!done && !seen) {
            seen = session.downloadIdle.load() == 0 && session.downloadTotal.load() == c.expected;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        download.join();
        EXPECT_TRUE(seen);
        ExpectIdle();
    }
}

TEST_F(DownloadTest, UnreachableServerFailsWithoutAnAlertAndKeepsTheTarget) {
    session::SetCell(session.host, "127.0.0.1:" + std::to_string(testsupport::ClosedPort()));
    EXPECT_EQ(Download(), Status::ConnectFailed);
    EXPECT_TRUE(alerts.empty());
    ExpectUntouched();
    ExpectIdle();
}

TEST_F(DownloadTest, TargetsThatCannotBeWrittenSendNothing) {
    struct Case {
        const char* name;
        std::filesystem::path path;
    } cases[] = {
        {"missing directory", dir / "no-such-dir" / "x.bin"},
        {"a directory", dir.Path()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(session::DownloadAttachment(session, "1:1tbiAQ", c.path), Status::FileError);
        ExpectIdle();
    }
    EXPECT_EQ(server.Connections(), 0);
    ExpectUntouched();
}

TEST_F(DownloadTest, IdsThatWouldBreakTheRequestLineAreNotSent) {
    for (const char* id : {"", "a b", "a&part=1", "a\r\nX: y", "a#b"}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(Download(id), Status::Refused);
        ExpectIdle();
    }
    EXPECT_EQ(server.Connections(), 0);
    ExpectUntouched();
}

TEST_F(DownloadTest, SavesIntoANewFileWithAUtf8Name) {
    server.Push(Answer(WithLength("new bytes")));
    std::filesystem::path fresh = dir / "下载 café.bin";
    ASSERT_EQ(session::DownloadAttachment(session, "m1", fresh), Status::Ok);
    EXPECT_EQ(testsupport::ReadFile(fresh), "new bytes");
    EXPECT_EQ(dir.EntryCount(), 2u);
}

}  // namespace
