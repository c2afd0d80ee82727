// mbox:compose, the upload form, delivery and download: files go in and
// come back byte for byte in every answer coding, and refusals (limits,
// quotas, expired sessions) leave nothing behind.
#include <filesystem>

#include "session/cells.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/message_queries.h"
#include "session/raw_message.h"
#include "session/upload.h"
#include "signed_in_provider.h"

namespace providertest {
namespace {

using session::Status;

std::size_t FilesIn(const std::string& directory) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) count += entry.is_regular_file();
    return count;
}

// The attachment of a mail's source: the base64 lines after the last part
// header, up to the closing boundary.
std::string AttachmentOfSource(const std::string& source) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::size_t from = source.find("\r\n\r\n", source.rfind("Content-Transfer-Encoding: base64"));
    std::string bytes;
    unsigned value = 0, bits = 0;
    for (std::size_t i = from + 4; i < source.size() && source[i] != '-'; ++i) {
        std::size_t digit = alphabet.find(source[i]);
        if (digit == std::string::npos) continue;  // line ends, padding
        value = (value << 6) | static_cast<unsigned>(digit), bits += 6;
        if (bits >= 8) bytes += static_cast<char>((value >> (bits -= 8)) & 0xFF);
    }
    return bytes;
}

// A delivery built by hand: to anyone, with a sent copy when asked.
std::string Delivery(const session::Session& s, const std::string& to, const std::string& subject,
                     bool sentCopy = false) {
    return "<object><string name=\"action\">deliver</string><string name=\"id\">" +
           std::string(session::CellText(s.composeId)) + "</string><object name=\"attrs\"><string name=\"account\">" +
           std::string(session::CellText(s.accountName)) + "</string><array name=\"to\"><string>" + to +
           "</string></array><string name=\"subject\">" + subject + "</string><boolean name=\"saveSentCopy\">" +
           (sentCopy ? "true" : "false") + "</boolean></object></object>";
}

std::string DownloadTarget(const session::Session& s, const std::string& messageId) {
    return "/js3/read/readdata.jsp?sid=" + std::string(session::CellText(s.sid)) + "&mid=" + messageId +
           "&part=3&mode=inline&action=download_attach";
}

class Transfers : public SignedInProvider, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { Start({"--answer-coding", GetParam()}); }
};

TEST_P(Transfers, FilesComeBackByteForByteInEveryCoding) {
    const std::string coding = GetParam();
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"5120 bytes", testsupport::NoiseBytes(5120, 1)},
        {"3 MiB of random bytes", testsupport::NoiseBytes(3 * 1024 * 1024 + 17, 3)},
    };
    for (const auto& [what, bytes] : cases) {
        const std::string subject = std::string("file & 文件 ") + what + ".bin";
        const std::string id = Store(bytes, subject);
        ASSERT_FALSE(id.empty()) << what;
        const Reply download = Get(s, DownloadTarget(s, id));
        EXPECT_TRUE(download.status == Status::Ok && download.Code() == 200) << what;
        EXPECT_TRUE(download.body == bytes) << what << ": " << download.body.size() << " bytes came back";
        EXPECT_EQ(download.Header("Content-Length"), coding == "plain" ? std::to_string(bytes.size()) : "") << what;
        EXPECT_EQ(download.Header("Transfer-Encoding"), coding.find("chunked") == 0 ? "chunked" : "");
        EXPECT_EQ(download.Header("Content-Encoding"), coding.find("gzip") != std::string::npos ? "gzip" : "");
        // The whole mail: its subject as an encoded word, the attachment in base64.
        std::string source;
        EXPECT_EQ(session::FetchRawMessage(s, id, 1 << 30,
                                           [&](const char* data, std::size_t size) {
                                               source.append(data, size);
                                               return true;
                                           }),
                  Status::Ok);
        EXPECT_NE(source.find("Subject: =?UTF-8?B?"), std::string::npos);
        EXPECT_TRUE(AttachmentOfSource(source) == bytes) << what;
        // Listed as an attached, unread mail larger than its file.
        const session::MessageSummary message = List(s, "1", 0, 1).messages.at(0);
        EXPECT_EQ(message.subject, subject);
        EXPECT_TRUE(message.attached && !message.read);
        EXPECT_GT(message.size, bytes.size());
    }
    EXPECT_EQ(FilesIn(AccountDir() + "/compose"), 0u);  // compose sessions are used up, their uploads gone
    // Script answers travel in the coding too, whole and readable.
    const Reply folders = Call(s, "mbox:getAllFolders", "<object/>");
    EXPECT_TRUE(folders.status == Status::Ok && CodeOf(folders.body) == "S_OK") << folders.head;
    EXPECT_EQ(folders.Header("Content-Encoding"), coding.find("gzip") != std::string::npos ? "gzip" : "");
}

INSTANTIATE_TEST_SUITE_P(EveryCoding, Transfers, ::testing::Values("plain", "chunked", "gzip", "chunked+gzip"));

class Limits : public SignedInProvider {
protected:
    void SetUp() override { Start({"--attachment-limit", "1000", "--send-limit", "3/3600"}); }
};

TEST_F(Limits, UploadsOverTheLimitAndRefusedFormsStoreNothing) {
    ASSERT_EQ(session::GetComposeId(s), Status::Ok);
    const std::string composeId(session::CellText(s.composeId));
    // The answer: one piece with its length; the connection waits for the client to close.
    RawConnection connection(Provider().Port());
    ASSERT_TRUE(connection.Send(UploadRequest(s, composeId, std::string(1000, 'a'))));
    const std::string answer = connection.Read(5000, nullptr, true);
    EXPECT_EQ(BodyOf(answer), "{'code':'S_OK','var':{'attachmentId':1,'size':1000}}");
    EXPECT_NE(answer.find("\r\nContent-Length: " + std::to_string(BodyOf(answer).size()) + "\r\n"), std::string::npos)
        << answer;
    EXPECT_NE(answer.find("\r\nConnection: Keep-Alive\r\n"), std::string::npos) << answer;
    EXPECT_EQ(connection.Read(300), "");
    std::string otherSid = UploadRequest(s, composeId, "data");
    otherSid.replace(otherSid.find(session::CellText(s.sid)), 32, std::string(32, 'Z'));
    std::string noFile1 = UploadRequest(s, composeId, "data");
    noFile1.replace(noFile1.find("name=\"file1\""), 12, "name=\"other\"");
    for (const auto& [request, code] : std::vector<std::pair<std::string, std::string>>{
             {UploadRequest(s, composeId, std::string(1001, 'b')), "FA_OVERFLOW"},
             {UploadRequest(s, "nosuchcompose", "data"), "FA_COMPOSE_NOT_FOUND"},
             {otherSid, "FA_INVALID_SESSION"},
             {noFile1, "FA_INVALID_PARAMETER"}}) {
        RawConnection refused(Provider().Port());
        refused.Send(request);
        EXPECT_EQ(BodyOf(refused.Read(5000, nullptr, true)), "{'code':'" + code + "'}");
    }
    EXPECT_EQ(FilesIn(AccountDir() + "/compose"), 1u);  // the first upload, untouched
    EXPECT_EQ(session::DeliverFile(s, "limit.bin", "", "limit.bin", 1000), Status::Ok);
    EXPECT_EQ(Fetch(s, Ids(List(s, "1")).at(0)), std::string(1000, 'a'));
}

TEST_F(Limits, RefusedDeliveriesStoreNothingAndKeepTheirSession) {
    ASSERT_EQ(Upload(s, "bytes"), Status::Ok);
    session::Session other;
    session::CopySignIn(s, other);
    session::SetCell(other.composeId, "nosuchcompose");
    EXPECT_EQ(session::DeliverFile(other, "x", "", "x", 5), Status::Refused);
    EXPECT_EQ(other.refusalCode, "FA_COMPOSE_NOT_FOUND");
    EXPECT_EQ(Code("mbox:compose", Delivery(s, "stranger@163.example", "x")), "FA_RECIPIENT_NOT_FOUND");
    EXPECT_EQ(session::DeliverFile(s, "x", "\xFF", "x", 5), Status::Refused);
    EXPECT_EQ(s.refusalCode, "FA_INVALID_PARAMETER");
    EXPECT_FALSE(StoreFile(other, nullptr, "one").empty());
    // With a sent copy: it is filed read in the sent folder.
    ASSERT_EQ(session::GetComposeId(other), Status::Ok);
    EXPECT_EQ(Code("mbox:compose", Delivery(other, kTestAccount, "two", true)), "S_OK");
    const session::MessagePage sent = List(s, "3");
    EXPECT_TRUE(sent.messages.size() == 1 && sent.messages[0].subject == "two" && sent.messages[0].read);
    EXPECT_EQ(session::DeliverFile(s, "x", "", "x", 5), Status::Ok);  // the third of three within the hour
    ASSERT_EQ(session::GetComposeId(other), Status::Ok);
    EXPECT_EQ(session::DeliverFile(other, "fourth", "", "x", 0), Status::Refused);
    EXPECT_EQ(other.refusalCode, "FA_MTA_REJECTED5521");
    EXPECT_EQ(List(s, "1").messages.size(), 3u);
    EXPECT_EQ(session::DeliverFile(s, "x", "", "x", 5), Status::Refused);
    EXPECT_EQ(s.refusalCode, "FA_COMPOSE_NOT_FOUND");  // used up
    RawConnection stillOpen(Provider().Port());
    stillOpen.Send(UploadRequest(other, std::string(session::CellText(other.composeId)), "still open"));
    EXPECT_EQ(CodeOf(BodyOf(stillOpen.Read(5000, nullptr, true))), "S_OK");
}

TEST(Sessions, AnExpiredSessionIsRefusedEverywhereWithStatus200) {
    testsupport::ProviderProcess provider({"a@163.example:pa"}, {"--session-ttl", "0"});
    session::Session s;
    ASSERT_EQ(SignInTo(s, provider, "a@163.example", "pa"), Status::Ok);
    RawConnection upload(provider.Port());
    upload.Send(UploadRequest(s, "x", "bytes"));
    std::vector<std::string> answers = {upload.Read(5000, nullptr, true)};
    for (const Reply& reply : {Call(s, "mbox:getAllFolders", "<object/>"), Call(s, "mbox:compose", "<object/>"),
                               Get(s, DownloadTarget(s, "1tbi0000000001abcdef"))})
        answers.push_back(reply.head + "\r\n\r\n" + reply.body);
    for (const std::string& answer : answers) {
        EXPECT_EQ(session::StatusCode(answer), 200);
        EXPECT_EQ(BodyOf(answer), "{'code':'FA_INVALID_SESSION'}");
        EXPECT_EQ(answer.find("Content-Disposition"), std::string::npos);
    }
}

}  // namespace
}  // namespace providertest
