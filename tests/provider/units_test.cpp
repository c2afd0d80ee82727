// The provider's parts that need no running process: the XML and form
// readers, the account file, the web-session registry, the send limiter
// and the connection log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "account_file.h"
#include "atomic_file.h"
#include "connection_log.h"
#include "multipart_reader.h"
#include "provider_process.h"
#include "send_limits.h"
#include "session_registry.h"
#include "xml_reader.h"

namespace provider {
namespace {

// What clients send is read through the functions that take it; here, what
// no client should be able to do to the reader.
TEST(XmlReader, RefusesWhatIsNotWellFormedOrTooDeep) {
    const std::pair<const char*, XmlFault> cases[] = {
        {"<object><string>x</object>", XmlFault::MismatchedTag},
        {"<object>&#xD800;</object>", XmlFault::BadReference},
        {"<object/><object/>", XmlFault::TrailingContent},
        {"<!DOCTYPE x [<!ENTITY a \"b\">]><object/>", XmlFault::Unsupported},
        {"<object name=\"x", XmlFault::Unclosed},
    };
    XmlElement root;
    for (const auto& [text, fault] : cases) EXPECT_EQ(ParseXml(text, root), fault) << text;
    std::string deep;
    for (int i = 0; i < kMaxXmlDepth; ++i) deep = "<a>" + deep + "</a>";
    EXPECT_EQ(ParseXml(deep, root), XmlFault::None);
    EXPECT_EQ(ParseXml("<a>" + deep + "</a>", root), XmlFault::TooDeep);
    EXPECT_NE(ParseXml(std::string(100000, '<'), root), XmlFault::None);
}

TEST(AccountFile, RoundTripsAnAccountReadsEarlierIndexesAndRefusesDamagedOnes) {
    AccountData account;
    account.address = "demo@163.example";
    account.password = "p\tw\\d";
    account.userFolders = {{65550, "R&D <2026>"}, {65552, "tab\tand\nline"}, {65553, "inner", 65550}};
    MessageRecord message;
    message.id = "1tbi0000000001abcdef";
    message.attachmentSize = 1024;
    message.subject = "O'Brien \\ 文件.txt";
    message.filename = "文件.txt.002";
    message.content = "vantlo-file: 1\nname: 文件.txt\r\n";
    account.messages = {message, MessageRecord()};
    account.composes = {{"composeid0001", 1767580000}};
    AccountData back;
    std::string error;
    ASSERT_TRUE(ParseAccount(SerializeAccount(account), back, error)) << error;
    EXPECT_EQ(SerializeAccount(back), SerializeAccount(account));
    EXPECT_EQ(back.userFolders.at(2).parent, 65550);
    // A message record of twelve fields: no attachment name, no text.
    const std::string head = "vantlo-account 1\naddress\ta@b.example\n";
    ASSERT_TRUE(ParseAccount(head + "message\tid1\t1\t2048\t1000\t1\t2\t0\t1\ta\tb\tsub\n", back, error)) << error;
    EXPECT_EQ(back.messages.at(0).AttachmentName() + "|" + back.messages.at(0).content, "sub|");
    for (const std::string& damaged :
         {std::string("vantlo-account 2\naddress\ta@b.example\n"), std::string("vantlo-account 1\n"),
          head.substr(0, head.size() - 1), head + "folder\tx\tname\n", head + "folder\t65550\tname\tx\n",
          head + "message\tid1\t1\t2048\t1000\t1\t2\t0\t1\ta\tb\tsub\tname\n", head + "what\t1\n",
          head + "password\tends with \\\n", head + "password\t\\x\n"})
        EXPECT_FALSE(ParseAccount(damaged, back, error)) << damaged;
}

TEST(SessionRegistry, AWebSessionLivesItsLifetimeFromItsOpeningAcrossARestart) {
    const std::string dir = testsupport::MakeTempDir("vantlo-sessions-");
    const std::int64_t opened = 1767580000000;
    std::string error;
    SessionRegistry registry;
    ASSERT_TRUE(registry.Open(dir + "/sessions.txt", error)) << error;
    registry.SetLifetime(60);
    WebSession web = registry.Enter("a@b.example", false, opened);
    // Reloaded, with a line of an earlier version (no opening time: its life starts at loading).
    std::string text;
    ASSERT_TRUE(ReadWholeFile(dir + "/sessions.txt", text));
    ASSERT_TRUE(WriteFileAtomically(dir + "/sessions.txt", text + "web\tOLD\tCOOKIE\told@b.example\n"));
    SessionRegistry again;
    ASSERT_TRUE(again.Open(dir + "/sessions.txt", error)) << error;
    again.SetLifetime(60);
    EXPECT_EQ(again.AccountOfWebSession(web.sid, web.coremail, opened + 59999).value_or(""), "a@b.example");
    EXPECT_FALSE(again.AccountOfWebSession(web.sid, web.coremail, opened + 60000));
    EXPECT_TRUE(again.AccountOfWebSession("OLD", "COOKIE"));
    testsupport::RemoveTree(dir);
}

TEST(SendLimiter, CountsTakenDeliveriesPerAccountWithinEachWindow) {
    SendLimiter limiter(SendLimits{2, 10, 3});
    const std::int64_t day = 24LL * 3600 * 1000;
    EXPECT_EQ(limiter.Take("a", 0), Fault::None);
    EXPECT_EQ(limiter.Take("a", 9999), Fault::None);
    EXPECT_EQ(limiter.Take("a", 9999), Fault::ShortSendQuota);  // refused ones do not count
    EXPECT_EQ(limiter.Take("b", 9999), Fault::None);            // another account
    EXPECT_EQ(limiter.Take("a", 10000), Fault::None);           // the first left the short window
    EXPECT_EQ(limiter.Take("a", 30000), Fault::DailySendQuota);
    EXPECT_EQ(limiter.Take("a", day - 1), Fault::DailySendQuota);
    EXPECT_EQ(limiter.Take("a", day), Fault::None);
    EXPECT_STREQ(FaultCode(Fault::DailySendQuota), "FA_MTA_REJECTED5520");
}

TEST(ConnectionLog, HeadsKeepTheirBytesButNoSecrets) {
    EXPECT_EQ(LoggedHead("GET /x?user=a&password=p%20w&pwd=1&sid=S HTTP/1.1\r\nCookie: NTES_SESS=abc\r\n"
                         "authorization: Basic eA==\r\nX: \x01\xE6\\"),
              "GET /x?user=a&password=***&pwd=***&sid=S HTTP/1.1\\r\\nCookie: ***\\r\\n"
              "authorization: ***\\r\\nX: \\x01\\xe6\\\\");
    EXPECT_EQ(LoggedHead("garbage"), "garbage");
}

const char kDelimiter[] = "-----------------------------7d95d2346050c";

struct Recorder : MultipartSink {
    bool OnPartBegin(const PartHead& head) override {
        data.push_back(head.name + ":");
        return true;
    }
    bool OnPartData(const char* bytes, std::size_t size) override {
        data.back().append(bytes, size);
        return data.back().find('!') == std::string::npos;  // "!" in a part: stop
    }
    bool OnPartEnd() override { return true; }
    std::vector<std::string> data;
};

MultipartFault FeedInPieces(const std::string& body, std::size_t piece, Recorder& recorder) {
    MultipartReader reader(std::string(kDelimiter).substr(2), recorder);
    for (std::size_t at = 0; at < body.size(); at += piece) {
        MultipartFault fault = reader.Feed(body.data() + at, std::min(piece, body.size() - at));
        if (fault != MultipartFault::None) return fault;
    }
    return reader.Finish();
}

// Whole uploads go through the upload tests; here, every way a form can
// be cut into pieces on the wire, and every way it can be broken.
TEST(MultipartReader, ReadsFormsInPiecesOfEverySizeAndReportsBrokenOnes) {
    const std::string lookalike =
        "x\r\n--\r\n" + std::string(kDelimiter).substr(0, 41) + "\r\n" + std::string("\0\r\n", 3) + "end";
    const std::string form = "preamble\r\n" + std::string(kDelimiter) +
                             "\r\ncontent-disposition: form-data; name=file1; filename=\"a;b\"\r\n\r\n" + lookalike +
                             "\r\n" + kDelimiter + "\r\nContent-Disposition: form-data; name=\"file2\"\r\n\r\n\r\n" +
                             kDelimiter + "--\r\nepilogue";
    for (std::size_t piece = 1; piece <= form.size(); ++piece) {
        Recorder recorder;
        ASSERT_EQ(FeedInPieces(form, piece, recorder), MultipartFault::None) << piece;
        ASSERT_EQ(recorder.data, (std::vector<std::string>{"file1:" + lookalike, "file2:"})) << piece;
    }
    const std::pair<std::string, MultipartFault> broken[] = {
        {form.substr(0, form.find("--\r\nepilogue")), MultipartFault::Truncated},
        {std::string(kDelimiter) + "XX\r\n\r\n", MultipartFault::Malformed},
        {std::string(kDelimiter) + "\r\nno colon\r\n\r\nx\r\n" + kDelimiter + "--", MultipartFault::Malformed},
        {std::string(kDelimiter) + "\r\nX: " + std::string(kMaxPartHeadBytes + 10, 'a'), MultipartFault::HeadTooLarge},
        {std::string(kDelimiter) + "\r\n\r\n" + std::string(5000, '!'), MultipartFault::Aborted},
    };
    for (const auto& [body, fault] : broken) {
        Recorder recorder;
        EXPECT_EQ(FeedInPieces(body, 4096, recorder), fault) << body.substr(0, 80);
    }
    EXPECT_EQ(BoundaryFromContentType("Multipart/Form-Data;charset=x; boundary=\"a b\"").value_or(""), "a b");
    EXPECT_FALSE(BoundaryFromContentType("multipart/form-data; boundary=" + std::string(kMaxBoundaryBytes + 1, 'b')));
}

}  // namespace
}  // namespace provider
