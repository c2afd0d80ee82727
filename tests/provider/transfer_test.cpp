// mbox:compose, the upload form, delivery and download: files go in and
// come back byte for byte in every answer coding, and refusals (limits,
// quotas, expired sessions) leave nothing behind.
#include <filesystem>

#include "signed_in_provider.h"

namespace providertest {
namespace {

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

class Transfers : public SignedInProvider, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { Start({"--answer-coding", GetParam()}); }
};

TEST_P(Transfers, FilesComeBackByteForByteInEveryCoding) {
    const std::string coding = GetParam();
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"5120 bytes", testsupport::NoiseBytes(5120, 1)},
        // Near misses of the fixed delimiter, which cannot stand in a file sent with it.
        {"delimiter look-alikes",
         "\r\n----------------------------7d95d2346050c\r\n--\r\n"
         "-----------------------------7d95d2346050C\r\n\r\n"},
        {"3 MiB of random bytes", testsupport::NoiseBytes(3 * 1024 * 1024 + 17, 3)},
    };
    for (const auto& [what, bytes] : cases) {
        const std::string subject = std::string("file & 文件 ") + what + ".bin";
        const std::string id = Client().StoreFile(bytes, subject);
        ASSERT_FALSE(id.empty()) << what;
        RawAnswer download = Client().Download(id);
        EXPECT_TRUE(download.closedByServer && download.decoded && download.status == 200) << what;
        EXPECT_TRUE(download.body == bytes) << what << ": " << download.body.size() << " bytes came back";
        EXPECT_EQ(download.Header("Content-Length"), coding == "plain" ? std::to_string(bytes.size()) : "") << what;
        EXPECT_EQ(download.Header("Transfer-Encoding"), coding.find("chunked") == 0 ? "chunked" : "");
        EXPECT_EQ(download.Header("Content-Encoding"), coding.find("gzip") != std::string::npos ? "gzip" : "");
        // The whole mail: its subject as an encoded word, the attachment in base64.
        RawAnswer source = Client().Source(id);
        EXPECT_TRUE(source.decoded && source.status == 200 && source.body.find("Subject: =?UTF-8?B?") != std::string::npos);
        EXPECT_TRUE(AttachmentOfSource(source.body) == bytes) << what;
        // Listed as an attached, unread mail larger than its file; the sent copy carries the same bytes.
        const ScriptValue page = Client().List(1, 0, 1);
        const ScriptValue& message = page.Get("var")->items.at(0);
        EXPECT_EQ(message.Get("subject")->text, subject);
        EXPECT_TRUE(message.Get("flags")->Get("attached")->boolean && !message.Get("flags")->Get("read")->boolean);
        EXPECT_GT(message.Get("size")->number, static_cast<long long>(bytes.size()));
        const std::string sentId = MessageIds(Client().List(3, 0, 1)).at(0);
        EXPECT_TRUE(sentId != id && Client().Download(sentId).body == bytes) << what;
    }
    EXPECT_EQ(FilesIn(AccountDir() + "/compose"), 0u);  // compose sessions are used up, their uploads gone
    // Script answers travel in the coding too, whole and readable.
    RawAnswer folders = Client().Call("mbox:getAllFolders", "<object/>");
    EXPECT_TRUE(folders.decoded && Code(folders) == "S_OK") << folders.raw.substr(0, 300);
    EXPECT_EQ(folders.Header("Content-Encoding"), coding.find("gzip") != std::string::npos ? "gzip" : "");
}

INSTANTIATE_TEST_SUITE_P(EveryCoding, Transfers, ::testing::Values("plain", "chunked", "gzip", "chunked+gzip"));

class Limits : public SignedInProvider {
protected:
    void SetUp() override { Start({"--attachment-limit", "1000", "--send-limit", "3/3600"}); }
};

TEST_F(Limits, UploadsOverTheLimitAndRefusedFormsStoreNothing) {
    const std::string composeId = Client().OpenCompose();
    // The answer: one piece with its length; the connection waits for the client to close.
    RawSocket socket(Client().Port());
    ASSERT_TRUE(socket.Send(Client().UploadRequest(composeId, std::string(1000, 'a'))));
    RawAnswer answer = ParseAnswer(socket.ReadSome(5000));
    EXPECT_EQ(answer.body, "{'code':'S_OK','var':{'attachmentId':1,'size':1000}}");
    EXPECT_EQ(answer.Header("Content-Length"), std::to_string(answer.body.size()));
    EXPECT_EQ(answer.Header("Connection"), "Keep-Alive");
    EXPECT_EQ(socket.ReadSome(300), "");
    std::string otherSid = Client().UploadRequest(composeId, "data");
    otherSid.replace(otherSid.find(Client().Sid()), 32, std::string(32, 'Z'));
    std::string noFile1 = Client().UploadRequest(composeId, "data");
    noFile1.replace(noFile1.find("name=\"file1\""), 12, "name=\"other\"");
    for (const auto& [request, code] : std::vector<std::pair<std::string, std::string>>{
             {Client().UploadRequest(composeId, std::string(1001, 'b')), "FA_OVERFLOW"},
             {Client().UploadRequest("nosuchcompose", "data"), "FA_COMPOSE_NOT_FOUND"},
             {otherSid, "FA_INVALID_SESSION"},
             {noFile1, "FA_INVALID_PARAMETER"}}) {
        RawSocket refused(Client().Port());
        refused.Send(request);
        EXPECT_EQ(ParseAnswer(refused.ReadSome(5000)).body, "{'code':'" + code + "'}");
    }
    EXPECT_EQ(FilesIn(AccountDir() + "/compose"), 1u);  // the first upload, untouched
    EXPECT_EQ(Code(Client().Deliver(composeId, "limit.bin")), "S_OK");
    EXPECT_EQ(Client().Download(MessageIds(Client().List(1)).at(0)).body, std::string(1000, 'a'));
}

TEST_F(Limits, RefusedDeliveriesStoreNothingAndKeepTheirSession) {
    const std::string composeId = Client().OpenCompose();
    ASSERT_EQ(Code(Client().Upload(composeId, "bytes")), "S_OK");
    EXPECT_EQ(Code(Client().Deliver("nosuchcompose", "x")), "FA_COMPOSE_NOT_FOUND");
    EXPECT_EQ(Code(Client().Deliver(composeId, "x", "stranger@163.example")), "FA_RECIPIENT_NOT_FOUND");
    EXPECT_EQ(Code(Client().Deliver(composeId, "x", "", "\xFF")), "FA_INVALID_PARAMETER");
    EXPECT_FALSE(Mail("one").empty());
    EXPECT_FALSE(Mail("two").empty());
    EXPECT_EQ(Code(Client().Deliver(composeId, "x")), "S_OK");  // the third of three within the hour
    const std::string next = Client().OpenCompose();
    EXPECT_EQ(Code(Client().Deliver(next, "fourth")), "FA_MTA_REJECTED5521");
    EXPECT_EQ(MessageIds(Client().List(1)).size(), 3u);
    EXPECT_EQ(Code(Client().Deliver(composeId, "x")), "FA_COMPOSE_NOT_FOUND");  // used up
    EXPECT_EQ(Code(Client().Upload(next, "still open")), "S_OK");
}

TEST(Sessions, AnExpiredSessionIsRefusedEverywhereWithStatus200) {
    testsupport::ProviderProcess provider({"a@163.example:pa"}, {"--session-ttl", "0"});
    WebmailClient client(provider.Port());
    ASSERT_TRUE(client.SignIn("a@163.example", "pa"));
    for (const RawAnswer& answer :
         {client.Call("mbox:getAllFolders", "<object/>"), client.Call("mbox:compose", "<object/>"),
          client.Upload("x", "bytes"), client.Download("1tbi0000000001abcdef")}) {
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.body, "{'code':'FA_INVALID_SESSION'}");
        EXPECT_EQ(answer.Header("Content-Disposition"), "");
    }
}

}  // namespace
}  // namespace providertest
