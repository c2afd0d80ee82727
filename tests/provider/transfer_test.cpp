// mbox:compose, the upload form, delivery and download: files go in and
// come back byte for byte, and refusals leave nothing behind.
#include <filesystem>
#include <random>

#include "signed_in_provider.h"

namespace providertest {
namespace {

class Transfers : public SignedInProvider {
protected:
    std::string AccountDir() { return Provider().DataDir() + "/accounts/" + kTestAccount; }
    std::size_t FilesIn(const std::string& directory) {
        std::size_t count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) count += entry.is_regular_file();
        return count;
    }
    std::string Code(const RawAnswer& answer) { return WebmailClient::CodeOf(answer); }
};

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

TEST_F(Transfers, FilesComeBackByteForByte) {
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"one byte", "\0"},
        {"5120 bytes", RandomBytes(5120, 1)},
        {"5121 bytes", RandomBytes(5121, 2)},
        // Near misses of the delimiter ("\r\n" and 29 dashes before 7d95d2346050c);
        // the exact line cannot stand in a file sent with this fixed boundary.
        {"delimiter look-alikes",
         std::string(
             "\r\n----------------------------7d95d2346050c\r\n--\r\n-----------------------------7d95d2346050") +
             "\r\n-----------------------------7d95d2346050C\r\n\r\n"},
        {"3 MiB of random bytes", RandomBytes(3 * 1024 * 1024 + 17, 3)},
    };
    for (const Case& c : cases) {
        const std::string subject = std::string("file & 文件 ") + c.what + ".bin";
        const std::string id = Client().StoreFile(c.bytes, subject);
        ASSERT_FALSE(id.empty()) << c.what;
        RawAnswer download = Client().Download(id);
        EXPECT_TRUE(download.closedByServer);
        EXPECT_EQ(download.status, 200) << c.what;
        EXPECT_EQ(download.Header("Content-Length"), std::to_string(c.bytes.size())) << c.what;
        EXPECT_TRUE(download.body == c.bytes) << c.what << ": " << download.body.size() << " bytes came back";
        // Listed as an attached, unread mail larger than its file.
        const ScriptValue page = Client().List(1, 0, 1);
        const ScriptValue& message = page.Get("var")->items.at(0);
        EXPECT_EQ(message.Get("id")->text, id);
        EXPECT_EQ(message.Get("subject")->text, subject);
        EXPECT_TRUE(message.Get("flags")->Get("attached")->boolean);
        EXPECT_FALSE(message.Get("flags")->Get("read")->boolean);
        EXPECT_GT(message.Get("size")->number, static_cast<long long>(c.bytes.size()));
        // The sent copy carries the same file.
        const ScriptValue sent = Client().List(3, 0, 1);
        const std::string sentId = sent.Get("var")->items.at(0).Get("id")->text;
        EXPECT_NE(sentId, id);
        EXPECT_TRUE(sent.Get("var")->items.at(0).Get("flags")->Get("read")->boolean);
        EXPECT_TRUE(Client().Download(sentId).body == c.bytes) << c.what;
    }
    // Compose sessions are used up and their uploads gone.
    EXPECT_EQ(FilesIn(AccountDir() + "/compose"), 0u);
}

TEST_F(Transfers, TheUploadAnswerIsOnePieceAndTheConnectionWaitsForTheClient) {
    const std::string composeId = Client().OpenCompose();
    ASSERT_EQ(composeId.size(), 24u);
    RawSocket socket(Client().Port());
    ASSERT_TRUE(socket.Send(Client().UploadRequest(composeId, "abc")));
    RawAnswer answer = ParseAnswer(socket.ReadSome(5000));
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "{'code':'S_OK','var':{'attachmentId':1,'size':3}}");
    EXPECT_EQ(answer.Header("Content-Length"), std::to_string(answer.body.size()));
    EXPECT_EQ(answer.Header("Connection"), "Keep-Alive");
    // Nothing more comes and the server does not close first.
    bool closed = false;
    EXPECT_EQ(socket.ReadUntilClosed(300, &closed), "");
    EXPECT_FALSE(closed);
    socket.Close();
    EXPECT_EQ(Code(Client().Deliver(composeId, "abc.txt", 3)), "S_OK");
}

TEST_F(Transfers, RefusedUploadsCreateNothing) {
    const std::string composeId = Client().OpenCompose();
    std::string withoutFile1 = Client().UploadRequest(composeId, "data");
    withoutFile1.replace(withoutFile1.find("name=\"file1\""), 12, "name=\"other\"");
    std::string cutShort = Client().UploadRequest(composeId, "data");
    cutShort.replace(cutShort.rfind("--\r\n"), 4, "\r\n\r\n");  // no closing delimiter
    std::string otherSid = Client().UploadRequest(composeId, "data");
    otherSid.replace(otherSid.find(Client().Sid()), 32, std::string(32, 'Z'));
    std::string noBoundary = Client().UploadRequest(composeId, "data");
    noBoundary.replace(noBoundary.find("; boundary="), 11, "; charset=");
    struct Case {
        const char* what;
        std::string request;
        const char* code;
    } cases[] = {
        {"no part named file1", withoutFile1, "FA_INVALID_PARAMETER"},
        {"no closing delimiter", cutShort, "FA_INVALID_PARAMETER"},
        {"unknown compose id", Client().UploadRequest("nosuchcompose", "data"), "FA_COMPOSE_NOT_FOUND"},
        {"wrong sid", otherSid, "FA_INVALID_SESSION"},
        {"no boundary", noBoundary, "FA_INVALID_PARAMETER"},
    };
    for (const Case& c : cases) {
        RawSocket socket(Client().Port());
        socket.Send(c.request);
        RawAnswer answer = ParseAnswer(socket.ReadSome(5000));
        EXPECT_EQ(answer.body, std::string("{'code':'") + c.code + "'}") << c.what;
        EXPECT_EQ(FilesIn(AccountDir() + "/compose"), 0u) << c.what;
    }
    // The session is still open and, with nothing uploaded, delivers a mail without attachment.
    RawAnswer delivered = Client().Deliver(composeId, "no file", 0);
    ASSERT_EQ(Code(delivered), "S_OK");
    const ScriptValue page = Client().List(1);
    EXPECT_FALSE(page.Get("var")->items.at(0).Get("flags")->Get("attached")->boolean);
    EXPECT_EQ(FilesIn(AccountDir() + "/attachments"), 0u);
}

TEST_F(Transfers, DeliveryNeedsAnOpenComposeSessionAndKnownRecipients) {
    const std::string composeId = Client().OpenCompose();
    ASSERT_EQ(Code(Client().Upload(composeId, "bytes")), "S_OK");
    EXPECT_EQ(Code(Client().Deliver("nosuchcompose", "x", 5)), "FA_COMPOSE_NOT_FOUND");
    EXPECT_EQ(Code(Client().Deliver(composeId, "x", 5, "stranger@163.example")), "FA_RECIPIENT_NOT_FOUND");
    EXPECT_EQ(Code(Client().Deliver(composeId, "bad\x01subject", 5)), "FA_INVALID_PARAMETER");
    EXPECT_TRUE(MessageIds(Client().List(1)).empty());
    EXPECT_TRUE(MessageIds(Client().List(3)).empty());
    // The refusals kept the session: it delivers once, then is used up.
    EXPECT_EQ(Code(Client().Deliver(composeId, "x", 5)), "S_OK");
    EXPECT_EQ(Code(Client().Deliver(composeId, "x", 5)), "FA_COMPOSE_NOT_FOUND");
    EXPECT_EQ(Code(Client().Upload(composeId, "late")), "FA_COMPOSE_NOT_FOUND");
    EXPECT_EQ(MessageIds(Client().List(1)).size(), 1u);
}

TEST(TransfersBetweenAccounts, DeliveryReachesAnotherAccountsInbox) {
    testsupport::ProviderProcess provider({"a@163.example:pa", "b@126.example:pb"});
    ASSERT_TRUE(provider.Running());
    WebmailClient a(provider.Port()), b(provider.Port());
    ASSERT_TRUE(a.SignIn("a@163.example", "pa"));
    ASSERT_TRUE(b.SignIn("b@126.example", "pb"));
    const std::string composeId = a.OpenCompose();
    ASSERT_EQ(WebmailClient::CodeOf(a.Upload(composeId, "for b")), "S_OK");
    ASSERT_EQ(WebmailClient::CodeOf(a.Deliver(composeId, "gift.txt", 5, "\"B\" <B@126.example>")), "S_OK");
    EXPECT_TRUE(MessageIds(a.List(1)).empty());
    ASSERT_EQ(MessageIds(a.List(3)).size(), 1u);
    const std::vector<std::string> inbox = MessageIds(b.List(1));
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(b.List(1).Get("var")->items[0].Get("from")->text, "a@163.example");
    EXPECT_EQ(b.Download(inbox[0]).body, "for b");
    // One account cannot read another's messages.
    EXPECT_EQ(a.Download(inbox[0]).status, 404);
}

TEST_F(Transfers, DownloadRefusalsCarryAnErrorStatus) {
    const std::string withFile = Client().StoreFile("x", "x.bin");
    const std::string composeId = Client().OpenCompose();
    ScriptValue delivered;
    std::string error;
    ASSERT_TRUE(ParseScript(Client().Deliver(composeId, "no attachment", 0).body, delivered, error));
    const std::string withoutFile = delivered.Get("var")->text;

    EXPECT_EQ(Client().Download("1tbi0000000099nothere").status, 404);
    EXPECT_EQ(Client().Download(withoutFile).status, 404);
    std::string otherPart = Client().DownloadRequest(withFile);
    otherPart.replace(otherPart.find("part=3"), 6, "part=2");
    EXPECT_EQ(Exchange(Client().Port(), otherPart).status, 404);
    std::string badSid = Client().DownloadRequest(withFile);
    badSid.replace(badSid.find(Client().Sid()), 32, std::string(32, 'Q'));
    RawAnswer refused = Exchange(Client().Port(), badSid);
    EXPECT_EQ(refused.status, 403);
    EXPECT_FALSE(refused.body.empty());
    EXPECT_LT(refused.body.size(), 200u);
    EXPECT_EQ(Client().Download(withFile).status, 200);
}

}  // namespace
}  // namespace providertest
