// Uploads, downloads and the store of a file into a folder, against the
// fault server: the bytes of the form, the body in every coding, what a
// failure leaves behind, and the search for the stored mail.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <future>

#include "session/download.h"
#include "session/staged_file.h"
#include "session/store_file.h"
#include "session/upload.h"
#include "session_fixture.h"

namespace {

using session::Status;
using testsupport::Action;
using testsupport::HttpAnswer;

const std::string kComposed = HttpAnswer("{'code':'S_OK','var':'c0ffee42'}");
const std::string kOk = HttpAnswer("{'code':'S_OK','var':null}");
const std::string kOldDelimiter = "\r\n-----------------------------7d95d2346050c--\r\n";

struct TransfersTest : testsupport::SessionTest {
    std::vector<std::string> boundaries;
    TransfersTest() {
        session::SetUploadBoundarySource([this] {
            std::string next = boundaries.empty() ? std::string(27, '-') + "0123456789abc" : boundaries.front();
            if (!boundaries.empty()) boundaries.erase(boundaries.begin());
            return next;
        });
    }
    ~TransfersTest() override { session::SetUploadBoundarySource({}); }
    std::filesystem::path File(const std::string& name, const std::string& bytes) {
        testsupport::WriteFile(dir / name, bytes);
        return dir / name;
    }
    void ExpectIdle() {
        EXPECT_EQ(s.uploadIdle.load() + s.downloadIdle.load(), 2);
        EXPECT_EQ(s.uploadSent.load() + s.uploadTotal.load() + s.downloadReceived.load() + s.downloadTotal.load(), 0);
    }
};

TEST_F(TransfersTest, TheFormCarriesTheBaseNameTheBoundaryAndEveryByte) {
    for (std::size_t size : {std::size_t{0}, std::size_t{5120}, std::size_t{204800 + 5121}}) {
        std::string bytes = testsupport::RandomBytes(size, 7) + kOldDelimiter + "after";
        const std::string boundary = std::string(27, '-') + "b" + std::to_string(size % 10) + "cdef012345ab";
        const std::string delimiter = "--" + boundary;
        boundaries = {boundary};
        for (const std::string& answer : {kComposed, kOk, kOk}) server.PushAnswer(answer);
        ASSERT_EQ(session::UploadFile(s, File("r\xC3\xA9port.txt", bytes)), Status::Ok);
        const std::string form = server.Requests().at(server.Requests().size() - 2);
        const std::string part = delimiter + "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"r\xC3\xA9"
                                             "port.txt\"\r\nContent-Type: application/octet-stream\r\n\r\n";
        const std::string tail = "\r\n" + delimiter + "\r\nContent-Disposition: form-data; name=\"file2\"; filename=\"\""
                                 "\r\nContent-Type: application/octet-stream\r\n\r\n\r\n" + delimiter + "--\r\n";
        std::size_t head = form.find("\r\n\r\n") + 4;
        EXPECT_EQ(form.substr(0, head), s.uploadRequest);
        EXPECT_EQ(form.substr(0, form.find(" HTTP/1.1")), "POST /a/p/upload.html?sid=" + std::string(testsupport::kSid) +
                                                              "&composeId=c0ffee42");
        EXPECT_NE(form.find("\r\nContent-Length: " + std::to_string(part.size() + bytes.size() + tail.size()) +
                            "\r\nContent-Type: multipart/form-data; boundary=" + boundary + "\r\n"),
                  std::string::npos);
        EXPECT_TRUE(form.substr(head) == part + bytes + tail) << "size " << size;
        EXPECT_NE(server.Requests().back().find("<int name=\"size\">" + std::to_string(bytes.size()) + "</int>"),
                  std::string::npos);
        ExpectIdle();
    }
}

TEST_F(TransfersTest, AFileThatHoldsItsBoundaryIsSentAgainWithAnother) {
    const std::string first = std::string(27, '-') + "1111111111111", second = std::string(27, '-') + "2222222222222";
    boundaries = {first, second};
    // The boundary straddles the end of the first send buffer.
    std::string bytes = std::string(204800 - 10, 'a') + "--" + first + "z";
    for (const std::string& answer : {kComposed, kOk, kOk, kOk}) server.PushAnswer(answer);
    ASSERT_EQ(session::UploadFile(s, File("clash.bin", bytes)), Status::Ok);
    ASSERT_EQ(server.Requests().size(), 4u);
    const std::string& stopped = server.Requests()[1];
    EXPECT_EQ(stopped.find(first, stopped.find("octet-stream")), std::string::npos) << "it stopped before the boundary";
    EXPECT_NE(server.Requests()[2].find("boundary=" + second), std::string::npos);
    EXPECT_NE(server.Requests()[2].find(bytes), std::string::npos);
    boundaries = {first, first, first, first};
    for (const std::string& answer : {kComposed, kOk}) server.PushAnswer(answer);
    EXPECT_EQ(session::UploadFile(s, File("clash.bin", "--" + first)), Status::BoundaryClash);
}

TEST_F(TransfersTest, RefusalsOfTheUploadOrDeliveryKeepTheProvidersCode) {
    struct Case {
        const char* name;
        std::vector<std::string> answers;
        Status status;
        const char* code;
        std::size_t requests;
    } cases[] = {
        {"upload refused with 200", {kComposed, HttpAnswer("{'code':'FA_OVERFLOW','var':null}")}, Status::Refused,
         "FA_OVERFLOW", 2},
        {"upload refused by status", {kComposed, "HTTP/1.1 413 Too Large\r\nContent-Length: 0\r\n\r\n"},
         Status::Refused, "", 2},
        {"upload answer cut", {kComposed, "HTTP/1.1 200 OK\r\nContent-Length: 50\r\n\r\n{'code':"}, Status::Incomplete,
         "", 2},
        {"delivery refused", {kComposed, HttpAnswer("<html>ok</html>"), HttpAnswer("{'code':'FA_RECIPIENT_NOT_FOUND'}")},
         Status::Refused, "FA_RECIPIENT_NOT_FOUND", 3},
        {"compose id unusable", {HttpAnswer("{'code':'S_OK','var':'a&b'}")}, Status::Unreadable, "", 1},
    };
    for (const Case& c : cases) {
        std::size_t before = server.Requests().size();
        for (const std::string& answer : c.answers) server.PushAnswer(answer);
        EXPECT_EQ(session::UploadFile(s, File("a.txt", "data")), c.status) << c.name;
        EXPECT_EQ(session::LastRefusalCode(), c.code) << c.name;
        EXPECT_EQ(server.Requests().size() - before, c.requests) << c.name;
        ExpectIdle();
    }
}

TEST_F(TransfersTest, CountersShowTheWholeFormWhileTheDeliveryIsAwaited) {
    s.limits.idleTimeoutMs = 2000;
    for (const std::string& answer : {kComposed, kOk}) server.PushAnswer(answer);
    server.Push(testsupport::Script("", Action::Stall));
    auto upload = std::async(std::launch::async, [&] { return session::UploadFile(s, File("c.bin", "12345")); });
    ASSERT_TRUE(server.WaitForRequests(3));
    std::int32_t wire = static_cast<std::int32_t>(server.Requests()[1].size());
    EXPECT_EQ(s.uploadIdle.load(), 0);
    EXPECT_EQ(s.uploadTotal.load(), 5);
    EXPECT_EQ(s.uploadSent.load(), wire);
    EXPECT_EQ(upload.get(), Status::TimedOut);
    ExpectIdle();
}

std::string Gzip(const std::string& text) {
    std::string out(compressBound(static_cast<uLong>(text.size())) + 64, '\0');
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

TEST_F(TransfersTest, DownloadsTakeEveryCodingAndFailuresLeaveTheTargetAsItWas) {
    const std::string body = testsupport::RandomBytes(100000, 3), gz = Gzip(body);
    const std::string head = "HTTP/1.1 200 OK\r\n", chunked = "Transfer-Encoding: chunked\r\n";
    const std::string chunks = "8000\r\n" + body.substr(0, 32768) + "\r\n" + "10000\r\n" + body.substr(32768, 65536) +
                               "\r\n" + "6a0\r\n" + body.substr(98304) + "\r\n0\r\n\r\n";
    const std::string gzChunks = "100\r\n" + gz.substr(0, 256) + "\r\n" + std::to_string(0) + "\r\n\r\n";
    struct Case {
        const char* name;
        Action answer;
        Status status;
    } cases[] = {
        {"length", testsupport::Script(HttpAnswer(body)), Status::Ok},
        {"chunks", testsupport::Script(head + chunked + "\r\n" + chunks), Status::Ok},
        {"gzip until the close", testsupport::Script(head + "Content-Encoding: gzip\r\n\r\n" + gz), Status::Ok},
        {"refused", testsupport::Script("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!"), Status::Refused},
        {"cut", testsupport::Script(HttpAnswer(body), Action::Cut, 50000), Status::Incomplete},
        {"reset", testsupport::Script(HttpAnswer(body), Action::Reset, 50000), Status::Incomplete},
        {"chunks cut", testsupport::Script(head + chunked + "\r\n" + chunks.substr(0, 40000)), Status::Incomplete},
        {"gzip cut", testsupport::Script(head + "Content-Encoding: gzip\r\n" + chunked + "\r\n" + gzChunks),
         Status::Incomplete},
        {"more than listed", testsupport::Script(head + "Content-Encoding: gzip\r\n\r\n" + Gzip(std::string(200000, 'z'))),
         Status::AnswerTooLarge},
        {"not HTTP", testsupport::Script("<html>\r\n\r\n"), Status::Unreadable},
        {"stalled", testsupport::Script(HttpAnswer(body), Action::Stall, 3000), Status::TimedOut},
        {"trickled", testsupport::Script(HttpAnswer(body), Action::Trickle, 3000), Status::TooSlow},
    };
    session::SetCell(s.messageTable.rows[0].id, "m1");
    session::SetCell(s.messageTable.rows[0].size, "150000");
    session::SetCell(s.messageTable.rows[0].subject, "saved.bin");
    s.limits.idleTimeoutMs = 500;
    s.limits.speedTimeMs = 300;
    const std::filesystem::path target = dir / "saved.bin";
    for (const Case& c : cases) {
        testsupport::WriteFile(target, "the old file");
        server.Push(c.answer);
        EXPECT_EQ(session::DownloadAttachment(s, "m1", target), c.status) << c.name;
        EXPECT_TRUE(testsupport::ReadFile(target) == (c.status == Status::Ok ? body : "the old file")) << c.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << c.name << ": debris left";
        ExpectIdle();
    }
}

TEST_F(TransfersTest, TheStagedFileKeepsTheModeFollowsLinksAndGoesOnASignal) {
    const std::filesystem::path real = dir / "real.bin", link = dir / "link.bin";
    testsupport::WriteFile(real, "old");
    ::chmod(real.c_str(), 0600);
    std::filesystem::create_symlink("real.bin", link);
    server.PushAnswer(HttpAnswer("new"));
    ASSERT_EQ(session::DownloadAttachment(s, "m1", link), Status::Ok);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(testsupport::ReadFile(real), "new");
    struct stat info{};
    ::stat(real.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    session::StagedFile staged(dir / "partial.bin");
    ASSERT_TRUE(staged.Open());
    ASSERT_TRUE(std::filesystem::exists(staged.TemporaryPath()));
    session::RemoveStagedFiles();
    EXPECT_FALSE(std::filesystem::exists(staged.TemporaryPath()));
}

std::string Inbox(const std::vector<std::string>& idsAndSubjects) {
    std::vector<std::string> rows;
    for (std::size_t i = 0; i + 1 < idsAndSubjects.size(); i += 2)
        rows.push_back("{'id':'" + idsAndSubjects[i] + "','fid':1,'size':5,'subject':'" + idsAndSubjects[i + 1] +
                       "','flags':{'attached':true}}");
    return HttpAnswer(testsupport::OkListAnswer(rows));
}

TEST_F(TransfersTest, StoringWaitsForTheNewMailAndAFailedLookEndsTheSearch) {
    const std::filesystem::path file = File("report.txt", "figures");
    session::StoreOptions options;
    options.firstPauseMs = 10;
    const std::vector<std::string> before = {"m-x", "other.txt", "m-old", "report.txt"};
    for (const std::string& answer : {Inbox(before), kComposed, kOk, kOk, Inbox(before),
                                      Inbox({"m-new", "report.txt", "m-x", "other.txt", "m-old", "report.txt"}), kOk})
        server.PushAnswer(answer);
    std::vector<session::StoreStage> stages;
    session::StoreResult result =
        session::StoreFileInFolder(s, file, "65551", [&](session::StoreStage stage) { stages.push_back(stage); }, options);
    ASSERT_EQ(result.status, Status::Ok);
    EXPECT_EQ(result.movedIds, (std::vector<std::string>{"m-new", "m-old"}));
    EXPECT_EQ(stages.size(), 4u);
    EXPECT_NE(server.Requests().back().find("<string>m-new</string><string>m-old</string></array><object name=\"attrs\">"
                                            "<int name=\"fid\">65551</int>"),
              std::string::npos);

    s.limits.idleTimeoutMs = 300;
    for (const Action& answer : {testsupport::Script(Inbox({})), testsupport::Script(kComposed),
                                 testsupport::Script(kOk), testsupport::Script(kOk), testsupport::Script("", Action::Stall)})
        server.Push(answer);
    const int connections = server.Connections();
    EXPECT_EQ(session::StoreFileInFolder(s, file, "65551", {}, options).status, Status::TimedOut);
    EXPECT_EQ(server.Connections() - connections, 5) << "one stalled look, not one per pause";

    options.searchBoundMs = 200;
    for (const std::string& answer : {Inbox({}), kComposed, kOk, kOk, Inbox({"m-1", "other.txt"})}) server.PushAnswer(answer);
    EXPECT_EQ(session::StoreFileInFolder(s, file, "65551", {}, options).status, Status::NotFound);
    EXPECT_EQ(server.Requests().back().find("updateMessageInfos"), std::string::npos);
}

}  // namespace
