// UploadFile, GetComposeId and DeliverUpload against scripted servers: the
// bytes of the three requests, the transfer fields, refusals and stalls.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "local_files.h"
#include "script_session.h"
#include "scripted_server.h"
#include "session/cells.h"
#include "session/upload.h"

namespace {

using session::Status;
using testsupport::HttpAnswer;
using testsupport::Reply;

const std::string kDelimiter = std::string(29, '-') + "7d95d2346050c";
const std::string kDeclared = std::string(27, '-') + "7d95d2346050c";
const char kComposeAnswer[] = "{'code':'S_OK','var':'c0ffee42'}";
const char kDelivered[] = "{'code':'S_OK','var':null}";

std::string ExpectedCompose(const std::string& hostPort, const std::string& body) {
    return "POST /a/s?sid=0123456789abcdef0123456789ABCDEF&func=mbox:compose HTTP/1.1\r\n"
           "Accept: text/javascript\r\n"
           "Content-Type: application/xml\r\n"
           "User-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
           "Host: " +
           hostPort + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n"
           "Connection: close\r\n" +
           testsupport::TestCookieLine() + "\r\n" + body;
}

std::string PartHead(const std::string& pathUtf8) {
    return kDelimiter + "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"" + pathUtf8 +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

std::string Tail() {
    return "\r\n" + kDelimiter +
           "\r\nContent-Disposition: form-data; name=\"file2\"; filename=\"\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n\r\n" +
           kDelimiter + "--\r\n";
}

std::string UploadHead(const std::string& hostPort, std::size_t contentLength) {
    return "POST /a/p/upload.html?sid=0123456789abcdef0123456789ABCDEF&composeId=c0ffee42 HTTP/1.1\r\n"
           "Accept: */*\r\n"
           "Host: " +
           hostPort + "\r\nContent-Length: " + std::to_string(contentLength) +
           "\r\n"
           "Content-Type: multipart/form-data; boundary=" +
           kDeclared +
           "\r\n"
           "User-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
           "Connection: Keep-Alive\r\n" +
           testsupport::TestCookieLine() + "\r\n";
}

std::string DeliveryBody(const std::string& subjectXml, const std::string& attachmentName, std::size_t size) {
    return "<?xml version=\"1.0\"?><object><string name=\"action\">deliver</string><string name=\"id\">c0ffee42"
           "</string><object name=\"attrs\"><string name=\"account\">demo@163.example</string>"
           "<array name=\"to\"><string>demo@163.example</string></array><array name=\"cc\"/><array name=\"bcc\"/>"
           "<string name=\"subject\">" +
           subjectXml +
           "</string><string name=\"content\">-----</string><boolean name=\"isHtml\">true</boolean>"
           "<int name=\"priority\">3</int><boolean name=\"saveSentCopy\">true</boolean>"
           "<boolean name=\"requestReadReceipt\">false</boolean><object name=\"attachments\">"
           "<object name=\"0\"><int name=\"id\">1</int><string name=\"type\">upload</string>"
           "<string name=\"name\">" +
           attachmentName + "</string><string name=\"contentType\">text/plain</string><int name=\"size\">" +
           std::to_string(size) +
           "</int></object></object><string name=\"charset\">gbk</string><string name=\"id\">c0ffee42</string>"
           "</object><int name=\"saveSentLimit\">1</int></object>";
}

// The attachment name that a delivery request carries.
std::string NameIn(const std::string& request) {
    const std::string open = "<string name=\"name\">";
    std::size_t start = request.find(open);
    if (start == std::string::npos) return "";
    start += open.size();
    return request.substr(start, request.find('<', start) - start);
}

std::string PathText(const std::filesystem::path& path) {
    auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

class UploadTest : public ::testing::Test {
protected:
    void SetUp() override { testsupport::PointSessionAt(session, server.HostPort()); }

    // Compose, upload and delivery answers, in the order they are asked for.
    void ScriptReplies(Reply upload = UploadAccepted()) {
        server.PushAnswer(HttpAnswer(kComposeAnswer));
        server.Push(upload);
        server.PushAnswer(HttpAnswer(kDelivered));
    }
    // The provider answers the upload and keeps the connection open.
    static Reply UploadAccepted() {
        Reply reply;
        reply.kind = Reply::Kind::AnswerStall;
        reply.bytes = HttpAnswer("<script>ok</script>", "Connection: Keep-Alive\r\n");
        reply.stallMs = 3000;
        return reply;
    }
    void ExpectIdle() {
        EXPECT_EQ(session.uploadIdle.load(), 1);
        EXPECT_EQ(session.uploadSent.load(), 0);
        EXPECT_EQ(session.uploadTotal.load(), 0);
    }
    // Uploads `bytes` as `name` and checks the three requests byte for byte.
    void UploadAndCheck(const std::string& name, const std::string& bytes, const std::string& subjectXml) {
        ScriptReplies();
        std::size_t first = server.Requests().size();
        std::filesystem::path path = dir / name;
        testsupport::WriteFile(path, bytes);
        std::uint32_t before = static_cast<std::uint32_t>(std::time(nullptr));
        ASSERT_EQ(session::UploadFile(session, path), Status::Ok);
        std::uint32_t after = static_cast<std::uint32_t>(std::time(nullptr));
        ExpectIdle();

        auto all = server.Requests();
        ASSERT_EQ(all.size(), first + 3);
        std::vector<std::string> requests(all.begin() + static_cast<std::ptrdiff_t>(first), all.end());
        EXPECT_EQ(requests[0], ExpectedCompose(server.HostPort(), "<?xml version=\"1.0\"?><object/>"));

        std::string part = PartHead(PathText(path));
        std::string head = UploadHead(server.HostPort(), part.size() + bytes.size() + Tail().size());
        EXPECT_EQ(session.uploadRequest, head);
        ASSERT_EQ(requests[1].size(), head.size() + part.size() + bytes.size() + Tail().size());
        EXPECT_EQ(requests[1].substr(0, head.size()), head);
        EXPECT_EQ(requests[1].substr(head.size(), part.size()), part);
        EXPECT_TRUE(requests[1].compare(head.size() + part.size(), bytes.size(), bytes) == 0) << "file bytes differ";
        EXPECT_EQ(requests[1].substr(requests[1].size() - Tail().size()), Tail());

        std::string name26 = NameIn(requests[2]);
        EXPECT_TRUE(name26 == session::AttachmentName(before) || name26 == session::AttachmentName(after)) << name26;
        EXPECT_EQ(requests[2], ExpectedCompose(server.HostPort(), DeliveryBody(subjectXml, name26, bytes.size())));
        EXPECT_EQ(session::CellText(session.composeId), "c0ffee42");
    }

    testsupport::ScriptedServer server;
    testsupport::TempDir dir;
    session::Session session;
};

TEST(UploadPieces, BoundaryTextsHaveTheirLengths) {
    EXPECT_EQ(kDelimiter.size(), 42u);
    EXPECT_EQ(kDeclared.size(), 40u);
}

TEST_F(UploadTest, SendsComposeUploadAndDeliveryByteForByte) {
    UploadAndCheck("report.txt", "hello, provider", "report.txt");
}

TEST_F(UploadTest, EmptyFileSendsPartHeadAndTailOnly) {
    UploadAndCheck("empty.bin", "", "empty.bin");
}

TEST_F(UploadTest, ChunkBoundariesKeepEveryByte) {
    for (std::size_t size :
         {std::size_t{1}, std::size_t{5119}, std::size_t{5120}, std::size_t{5121}, std::size_t{3 * 5120},
          std::size_t{204800}, std::size_t{204800 + 5121}, std::size_t{1000000}}) {
        SCOPED_TRACE(size);
        UploadAndCheck("chunk-" + std::to_string(size) + ".bin", testsupport::RandomBytes(size, 7u + size),
                       "chunk-" + std::to_string(size) + ".bin");
    }
}

TEST_F(UploadTest, NamesTravelAsUtf8AndAreEscapedInTheBody) {
    UploadAndCheck("café 文件 & <b>'.bin", "x", "café 文件 &amp; &lt;b&gt;&apos;.bin");
}

TEST_F(UploadTest, AQuoteInThePathIsEncodedInThePartHeadAndEscapedInTheSubject) {
    ScriptReplies();
    std::filesystem::path path = dir / "say \"hi\".txt";
    testsupport::WriteFile(path, "hi");
    ASSERT_EQ(session::UploadFile(session, path), Status::Ok);
    std::string request = server.Requests().at(1);
    std::string dirText = PathText(dir.Path());
    EXPECT_NE(request.find("filename=\"" + dirText + "/say %22hi%22.txt\"\r\n"), std::string::npos);
    EXPECT_NE(server.Requests().at(2).find("<string name=\"subject\">say &quot;hi&quot;.txt</string>"),
              std::string::npos);
}

TEST_F(UploadTest, CountersMoveWhileTheAnswerIsAwaitedAndReturnToIdle) {
    Reply silent;
    silent.kind = Reply::Kind::Stall;
    silent.stallMs = 600;
    ScriptReplies(silent);
    std::string bytes = testsupport::RandomBytes(12345, 3);
    std::filesystem::path path = dir / "moving.bin";
    testsupport::WriteFile(path, bytes);

    std::atomic<bool> done{false};
    Status status = Status::Ok;
    std::thread upload([&] {
        status = session::UploadFile(session, path);
        done = true;
    });
    std::size_t contentLength = PartHead(PathText(path)).size() + bytes.size() + Tail().size();
    std::size_t wireBytes = UploadHead(server.HostPort(), contentLength).size() + contentLength;
    bool seen = false;
    while (!done && !seen) {
        seen = session.uploadIdle.load() == 0 && session.uploadTotal.load() == 12345 &&
               session.uploadSent.load() == static_cast<std::int32_t>(wireBytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    upload.join();
    EXPECT_TRUE(seen) << "the counters never showed the whole request sent";
    // Closed without an answer: the upload cannot have been taken.
    EXPECT_EQ(status, Status::Refused);
    EXPECT_EQ(server.Requests().size(), 2u) << "nothing may be delivered";
    ExpectIdle();
}

TEST_F(UploadTest, ErrorStatusToTheUploadIsARefusalAndNothingIsDelivered) {
    Reply refused;
    refused.bytes = "HTTP/1.1 413 Request Entity Too Large\r\nContent-Length: 0\r\n\r\n";
    ScriptReplies(refused);
    std::filesystem::path path = dir / "big.bin";
    testsupport::WriteFile(path, "data");
    EXPECT_EQ(session::UploadFile(session, path), Status::Refused);
    EXPECT_EQ(server.Requests().size(), 2u);
    ExpectIdle();
}

TEST_F(UploadTest, ComposeAnswerWithoutIdStopsBeforeTheUpload) {
    session::SetCell(session.composeId, "stale-id");
    server.PushAnswer(HttpAnswer("{'code':'FA_INVALID_SESSION'}"));
    std::filesystem::path path = dir / "a.txt";
    testsupport::WriteFile(path, "a");
    EXPECT_EQ(session::UploadFile(session, path), Status::Refused);
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(session::CellText(session.composeId), "stale-id");
    ExpectIdle();
}

TEST_F(UploadTest, ComposeIdsThatCannotStandInTheQueryAreRefused) {
    for (const char* answer : {"{'code':'S_OK','var':'a&b'}", "{'code':'S_OK','var':'a b'}",
                               "{'code':'S_OK','var':'0123456789abcdef0123456789abcdef0'}",  // 33 characters
                               "{'code':'S_OK','var':''}"}) {
        SCOPED_TRACE(answer);
        server.PushAnswer(HttpAnswer(answer));
        EXPECT_EQ(session::GetComposeId(session), Status::Refused);
    }
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':'0123456789abcdef0123456789abcdef'}"));
    EXPECT_EQ(session::GetComposeId(session), Status::Ok);
    EXPECT_EQ(session::CellText(session.composeId), "0123456789abcdef0123456789abcdef");
}

TEST_F(UploadTest, RefusedDeliveryIsReported) {
    server.PushAnswer(HttpAnswer(kComposeAnswer));
    server.Push(UploadAccepted());
    server.PushAnswer(HttpAnswer("{'code':'FA_ID_NOT_FOUND'}"));
    std::filesystem::path path = dir / "a.txt";
    testsupport::WriteFile(path, "a");
    EXPECT_EQ(session::UploadFile(session, path), Status::Refused);
    EXPECT_EQ(server.Requests().size(), 3u);
    ExpectIdle();
}

TEST_F(UploadTest, StalledUploadAnswerEndsWithinTheIdleBound) {
    session.limits.idleTimeoutMs = 300;
    Reply stall;
    stall.kind = Reply::Kind::Stall;
    stall.stallMs = 5000;
    ScriptReplies(stall);
    std::filesystem::path path = dir / "a.txt";
    testsupport::WriteFile(path, "a");
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session::UploadFile(session, path), Status::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ExpectIdle();
}

TEST_F(UploadTest, LocalFileProblemsSendNothing) {
    std::filesystem::path big = dir / "two-gib.bin";
    { std::ofstream touch(big, std::ios::binary); }
    std::filesystem::resize_file(big, std::uint64_t{1} << 31);  // sparse
    struct Case {
        std::filesystem::path path;
        Status expected;
    } cases[] = {
        {dir / "missing.bin", Status::FileError},
        {dir.Path(), Status::FileError},
        {big, Status::FileTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(PathText(c.path));
        EXPECT_EQ(session::UploadFile(session, c.path), c.expected);
        ExpectIdle();
    }
    EXPECT_EQ(server.Connections(), 0);
}

TEST(UploadSubject, IsTheFileNameInUtf8) {
    struct Case {
        const char* path;
        const char* subject;
    } cases[] = {
        {"/home/u/report.txt", "report.txt"},
        {"/home/u/café 文件.bin", "café 文件.bin"},
        {"relative/a & b.txt", "a & b.txt"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) EXPECT_EQ(session::UploadSubject(std::filesystem::u8path(c.path)), c.subject);
}

TEST(AttachmentName, DrawsTwentySixSymbolsOfTheRuntimeGenerator) {
    // The C runtime's rand() after srand(1) starts 41, 18467, 6334, 26500:
    // modulo 61 that is 41, 45, 51, 26, i.e. "p", "t", "z", "a".
    EXPECT_EQ(session::AttachmentName(1).substr(0, 4), "ptza");
    for (std::uint32_t seed : {0u, 1u, 1700000000u, 0xffffffffu}) {
        std::string name = session::AttachmentName(seed);
        ASSERT_EQ(name.size(), 26u);
        EXPECT_EQ(name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz123456789"),
                  std::string::npos)
            << name;
        EXPECT_EQ(name, session::AttachmentName(seed)) << "the same second draws the same name";
    }
    EXPECT_NE(session::AttachmentName(1700000000u), session::AttachmentName(1700000001u));
}

}  // namespace
