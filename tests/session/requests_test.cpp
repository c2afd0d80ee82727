// What the operations send: every request byte for byte, the requests that
// must never leave the machine, and the texts that go into them.
#include <gtest/gtest.h>

#include <functional>

#include "session/download.h"
#include "session/folders.h"
#include "session/listing.h"
#include "session/message_moves.h"
#include "session/provider_directory.h"
#include "session/signin.h"
#include "session/store_file.h"
#include "session/upload.h"
#include "session/xml_text.h"
#include "session_fixture.h"

namespace {

using session::Status;

struct RequestsTest : testsupport::SessionTest {
    std::string Compose(const std::string& body) {
        return "POST /a/s?sid=" + std::string(testsupport::kSid) +
               "&func=mbox:compose HTTP/1.1\r\nAccept: text/javascript\r\nContent-Type: application/xml\r\n"
               "User-Agent: Ostrel Mail Tools; Unix 7.2\r\nHost: " + server.HostPort() +
               "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\nCookie: " +
               testsupport::kCookies + "\r\n\r\n" + body;
    }
};

TEST_F(RequestsTest, EveryOperationSendsItsRequestByteForByte) {
    server.PushAnswer(testsupport::HttpAnswer("{'code':'S_OK','var':[65550]}"));
    const std::string xml = "<?xml version=\"1.0\"?><object>";
    std::string id;
    struct Case {
        const char* name;
        std::function<Status()> run;
        std::string request;
    } cases[] = {
        {"folder list", [&] { return session::GetAllFolders(s); },
         Script("mbox:getAllFolders",
                xml + "<boolean name=\"stats\">true</boolean><boolean name=\"threads\">true</boolean></object>")},
        {"create", [&] { return session::CreateUserFolder(s, "R&D <2026>", id); },
         Script("mbox:createUserFolders",
                xml + "<array name=\"items\"><object><string name=\"name\">R&amp;D &lt;2026&gt;</string></object>"
                      "</array></object>\r\n", true)},
        {"rename", [&] { return session::RenameFolder(s, "it's \"q\" \xE6\x96\x87", "65550"); },
         Script("mbox:updateFolders", xml + "<array name=\"items\"><object><int name=\"id\">65550</int><string "
                                            "name=\"name\">it&apos;s &quot;q&quot; \xE6\x96\x87</string></object>"
                                            "</array></object>")},
        {"delete folder", [&] { return session::DeleteFolder(s, "65551"); },
         Script("mbox:deleteFolders", xml + "<array name=\"ids\"><int>65551</int></array></object>")},
        {"list", [&] { return session::ListMessages(s, "65551", s.messageTable); },
         Script("mbox:listMessages", xml + "<int name=\"fid\">65551</int><string name=\"order\">date</string>"
                                           "<boolean name=\"desc\">true</boolean><int name=\"start\">0</int>"
                                           "<int name=\"limit\">50</int></object>")},
        {"move", [&] { return session::MoveMessages(s, {"1:c", "a</string>"}, "65550"); },
         Script("mbox:updateMessageInfos",
                xml + "<array name=\"ids\"><string>1:c</string><string>a&lt;/string&gt;</string></array><object "
                      "name=\"attrs\"><int name=\"fid\">65550</int></object></object>", true)},
        {"delete messages", [&] { return session::DeleteMessages(s, {"7", "3"}); },
         Script("mbox:deleteMessages",
                xml + "<array name=\"ids\"><string>7</string><string>3</string></array></object>", true)},
        {"delete no messages", [&] { return session::DeleteMessages(s, {}); },
         Script("mbox:deleteMessages", xml + "<array name=\"ids\"></array></object>", true)},
        {"compose", [&] { return session::GetComposeId(s); }, Compose("<?xml version=\"1.0\"?><object/>")},
        {"download", [&] { return session::DownloadAttachment(s, "1:1tbiAQ", dir / "saved.bin"); },
         "GET /js3/read/readdata.jsp?sid=" + std::string(testsupport::kSid) +
             "&mid=1:1tbiAQ&part=3&mode=inline&action=download_attach HTTP/1.1\r\nAccept: */*\r\nHost: " +
             server.HostPort() +
             "\r\nContent-Type: application/xml\r\nUser-Agent: Ostrel Mail Tools; Unix 7.2\r\nConnection: "
             "close\r\nCookie: " + testsupport::kCookies + "\r\n\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.run(), Status::Ok) << c.name;
        EXPECT_EQ(server.Requests().back(), c.request) << c.name;
    }
    session::MessageIdQueue ids{"1", "2"};
    EXPECT_EQ(session::MoveMessages(s, ids, "3"), Status::Ok);
    EXPECT_EQ(ids.size(), 2u) << "the caller's queue is its own";
}

TEST_F(RequestsTest, WhatCannotBeSentNeverLeaves) {
    testsupport::WriteFile(dir / "tab\tname.txt", "x");
    testsupport::WriteFile(dir / "bad\xff.txt", "x");
    std::string id;
    std::string name(1023, 'n');
    while (session::CreateUserFolderRequest(s, name).Overflowed()) name.pop_back();
    EXPECT_EQ(session::CreateUserFolderRequest(s, name).Size(), 1023u);
    struct Case {
        const char* name;
        std::function<Status()> run;
        Status status;
    } cases[] = {
        {"a name one byte past the buffer", [&] { return session::CreateUserFolder(s, name + "n", id); },
         Status::RequestTooLarge},
        {"escaping counts", [&] { return session::RenameFolder(s, std::string(200, '&'), "9"); },
         Status::RequestTooLarge},
        {"a long id", [&] { return session::DeleteFolder(s, std::string(1000, '9')); }, Status::RequestTooLarge},
        {"too many ids", [&] { return session::MoveMessages(s, session::MessageIdQueue(300, "x"), "2"); },
         Status::RequestTooLarge},
        {"a long listing id", [&] { return session::ListMessages(s, std::string(600, '1'), s.messageTable); },
         Status::RequestTooLarge},
        {"an id that breaks the query", [&] { return session::DownloadAttachment(s, "a&part=1", dir / "o"); },
         Status::Refused},
        {"a target in a missing folder", [&] { return session::DownloadAttachment(s, "m", dir / "no" / "o"); },
         Status::FileError},
        {"a tab in the file name", [&] { return session::UploadFile(s, dir / "tab\tname.txt"); }, Status::BadName},
        {"a name that is not UTF-8", [&] { return session::StoreFileInFolder(s, dir / "bad\xff.txt", "1").status; },
         Status::BadName},
        {"a missing file", [&] { return session::UploadFile(s, dir / "missing.bin"); }, Status::FileError},
        {"a name no subject cell holds",
         [&] { return session::StoreFileInFolder(s, dir / std::string(800, 'n'), "1").status; },
         Status::RequestTooLarge},
    };
    for (const Case& c : cases) { EXPECT_EQ(c.run(), c.status) << c.name; }
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_EQ(s.uploadIdle.load(), 1);
    EXPECT_EQ(s.downloadIdle.load(), 1);
}

TEST(RequestTexts, EscapesEncodingsNamesAndEntries) {
    EXPECT_EQ(session::XmlEscape("R&D <\"it's\">"), "R&amp;D &lt;&quot;it&apos;s&quot;&gt;");
    EXPECT_EQ(session::XmlEscape("caf\xc3\xa9"), "caf\xc3\xa9");
    for (const char* clean : {"report.txt", "caf\xc3\xa9 \xe6\x96\x87\xe4\xbb\xb6", "\xF0\x9F\x93\x81", ""})
        EXPECT_TRUE(session::IsCleanText(clean)) << clean;
    for (const char* unclean : {"a\tb", "a\nb", "a\rb", "a\x7f", "a\xff", "\xC0\xAF", "\xED\xA0\x80", "\xE6\x96",
                                "\xF4\x90\x80\x80"})
        EXPECT_FALSE(session::IsCleanText(unclean)) << unclean;
    EXPECT_EQ(session::FormEncode("a&b=c+d%e f@x.y_-~\xE5\xAF\x86"), "a%26b%3Dc%2Bd%25e%20f@x.y_-~%E5%AF%86");
    const std::pair<const char*, int> entries[] = {{"a@163.example", 1},  {"a@126.EXAMPLE", 2}, {"a@Yeah.Example", 3},
                                                   {"a@163.example.x", 0}, {"a@b@163.example", 0}, {"no-at", 0}};
    for (const auto& [account, entry] : entries) { EXPECT_EQ(session::EntryForAccount(account), entry) << account; }
    std::string host;
    std::uint16_t port = 0;
    EXPECT_TRUE(session::ParseHostPort("127.0.0.1:65535", host, port));
    EXPECT_EQ(port, 65535);
    for (const char* bad : {"127.0.0.1", ":80", "h:", "h:0", "h:65536", "h:8o"})
        EXPECT_FALSE(session::ParseHostPort(bad, host, port)) << bad;
    // The C runtime's rand() after srand(1) starts 41, 18467, 6334, 26500: "ptza".
    EXPECT_EQ(session::AttachmentName(1).substr(0, 4), "ptza");
    EXPECT_EQ(session::AttachmentName(7).size(), 26u);
    EXPECT_EQ(session::UploadSubject(std::filesystem::u8path("/home/u/caf\xc3\xa9 a.txt")), "caf\xc3\xa9 a.txt");
}

}  // namespace
