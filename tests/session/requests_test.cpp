// What the operations send: every request byte for byte, the requests that
// must never leave the machine, and the texts that go into them.
#include <gtest/gtest.h>

#include <functional>

#include "session/download.h"
#include "session/folders.h"
#include "session/message_moves.h"
#include "session/message_queries.h"
#include "session/upload.h"
#include "session/xml_text.h"
#include "session_fixture.h"

namespace {

using session::Status;

struct RequestsTest : testsupport::SessionTest {
    std::string Compose(const std::string& body) {
        return "POST /a/s?sid=" + std::string(testsupport::kSid) +
               "&func=mbox:compose HTTP/1.1\r\nAccept: text/javascript\r\nContent-Type: application/xml\r\n"
               "User-Agent: Ostrel Mail Tools; Unix 7.2\r\nHost: " +
               server.HostPort() + "\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\nConnection: keep-alive\r\nCookie: " + testsupport::kCookies + "\r\n\r\n" + body;
    }
};

TEST_F(RequestsTest, EveryOperationSendsItsRequestByteForByte) {
    server.PushAnswer(testsupport::HttpAnswer("{'code':'S_OK','var':[65550]}"));
    const std::string xml = "<?xml version=\"1.0\"?><object>";
    const std::string paging =
        "<int name=\"start\">400</int><int name=\"limit\">200</int>"
        "<boolean name=\"returnTotal\">true</boolean></object>";
    const std::string search = xml +
                               "<array name=\"conditions\"><object><string name=\"field\">subject</string>"
                               "<string name=\"operator\">contains</string><string name=\"operand\">a&amp;b "
                               "\xE6\x96\x87</string><boolean name=\"ignoreCase\">true</boolean></object></array>";
    std::string id;
    session::MessagePage page;
    session::MessageContent content;
    const struct {
        std::function<Status()> run;
        std::string request;
        Status status = Status::Ok;
    } cases[] = {
        // clang-format off
        {[&] { return session::GetAllFolders(s); },
         ScriptRequest("mbox:getAllFolders",
                xml + "<boolean name=\"stats\">true</boolean><boolean name=\"threads\">true</boolean></object>")},
        {[&] { return session::CreateUserFolder(s, "R&D <2026>", id); },
         ScriptRequest("mbox:createUserFolders",
                xml + "<array name=\"items\"><object><string name=\"name\">R&amp;D &lt;2026&gt;</string></object>"
                      "</array></object>\r\n", true)},
        {[&] { return session::RenameFolder(s, "it's \"q\" \xE6\x96\x87", "65550"); },
         ScriptRequest("mbox:updateFolders", xml + "<array name=\"items\"><object><int name=\"id\">65550</int><string "
                                            "name=\"name\">it&apos;s &quot;q&quot; \xE6\x96\x87</string></object>"
                                            "</array></object>")},
        {[&] { return session::DeleteFolder(s, "65551"); },
         ScriptRequest("mbox:deleteFolders", xml + "<array name=\"ids\"><int>65551</int></array></object>")},
        {[&] { return session::CreateUserFolder(s, "三月", id, "65550"); },
         ScriptRequest("mbox:createUserFolders",
                xml + "<array name=\"items\"><object><string name=\"name\">三月</string><int name=\"parent\">65550"
                      "</int></object></array></object>\r\n", true)},
        {[&] { return session::MoveFolder(s, "65551", ""); },
         ScriptRequest("mbox:updateFolders", xml + "<array name=\"items\"><object><int name=\"id\">65551</int><int "
                                            "name=\"parent\">0</int></object></array></object>")},
        {[&] { return session::MoveMessages(s, {"1:c", "a</string>"}, "65550"); },
         ScriptRequest("mbox:updateMessageInfos",
                xml + "<array name=\"ids\"><string>1:c</string><string>a&lt;/string&gt;</string></array><object "
                      "name=\"attrs\"><int name=\"fid\">65550</int></object></object>", true)},
        {[&] { return session::DeleteMessages(s, {"7", "3"}); },
         ScriptRequest("mbox:deleteMessages",
                xml + "<array name=\"ids\"><string>7</string><string>3</string></array></object>", true)},
        {[&] { return session::GetComposeId(s); }, Compose("<?xml version=\"1.0\"?><object/>")},
        {[&] { return session::FetchAttachment(s, "1:1tbiAQ", 100, [](const char*, std::size_t) { return true; }); },
         "GET /js3/read/readdata.jsp?sid=" + std::string(testsupport::kSid) +
             "&mid=1:1tbiAQ&part=3&mode=inline&action=download_attach HTTP/1.1\r\nAccept: */*\r\nHost: " +
             server.HostPort() +
             "\r\nContent-Type: application/xml\r\nUser-Agent: Ostrel Mail Tools; Unix 7.2\r\nConnection: "
             "close\r\nCookie: " + testsupport::kCookies + "\r\n\r\n"},
        {[&] { return session::ListMessagePage(s, "65551", 400, 200, page); },
         ScriptRequest("mbox:listMessages", xml + "<int name=\"fid\">65551</int><string name=\"order\">date</string>"
                                                  "<boolean name=\"desc\">true</boolean>" + paging),
         Status::Unreadable},  // the answer's list holds no mails
        {[&] { return session::SearchMessagePage(s, "a&b \xE6\x96\x87", {"1", "7"}, 400, 200, page); },
         ScriptRequest("mbox:searchMessages",
                       search + "<array name=\"fids\"><int>1</int><int>7</int></array>" + paging),
         Status::Unreadable},
        {[&] { return session::SearchMessagePage(s, "a&b \xE6\x96\x87", {}, 400, 200, page); },
         ScriptRequest("mbox:searchMessages", search + paging), Status::Unreadable},
        {[&] { return session::ReadMessage(s, "1tbi'7", content); },
         ScriptRequest("mbox:readMessage",
                xml + "<string name=\"id\">1tbi&apos;7</string><string name=\"mode\">text</string></object>"),
         Status::Unreadable},  // the answer is no message
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(c.run(), c.status);
        EXPECT_EQ(server.Requests().back(), c.request);
    }
    EXPECT_TRUE(session::SearchMessagesRequest(s, std::string(3000, '<'), {}, 0, 1).Overflowed());
    server.PushAnswer(testsupport::HttpAnswer("{'code':'S_OK','var':[]}"));
    EXPECT_EQ(session::CreateUserFolder(s, "x", id), Status::Unreadable);
    EXPECT_EQ(id, "");
}

TEST_F(RequestsTest, WhatCannotBeSentNeverLeaves) {
    std::string id;
    std::string name(1023, 'n');
    while (session::CreateUserFolderRequest(s, name).Overflowed()) name.pop_back();
    EXPECT_EQ(session::CreateUserFolderRequest(s, name).Size(), 1023u);
    const auto upload = [&](const std::string& name) {
        return session::UploadFileRange(s, {File("x.txt", "x"), 0, 1, name}, {});
    };
    const auto fetch = [&](const std::string& id) {
        return session::FetchAttachment(s, id, 100, [](const char*, std::size_t) { return true; });
    };
    // clang-format off
    const std::pair<std::function<Status()>, Status> cases[] = {
        {[&] { return session::CreateUserFolder(s, name + "n", id); }, Status::RequestTooLarge},
        {[&] { return session::RenameFolder(s, std::string(200, '&'), "9"); }, Status::RequestTooLarge},  // escaped
        {[&] { return session::MoveMessages(s, session::MessageIdQueue(300, "x"), "2"); }, Status::RequestTooLarge},
        {[&] { return fetch("a&part=1"); }, Status::Refused},
        {[&] { return upload("tab\tname.txt"); }, Status::BadName},
        {[&] { return upload("bad\xff.txt"); }, Status::BadName},
        {[&] { return upload(std::string(4000, 'n')); }, Status::RequestTooLarge},
        {[&] { return session::UploadFileRange(s, {dir / "x.txt", 1, 1, "x.txt"}, {}); }, Status::FileError},
        {[&] { return session::DeliverFile(s, "s", "", "bad\xff", 1); }, Status::BadName},
    };
    // clang-format on
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first(), cases[i].second) << "case " << i;
    EXPECT_EQ(server.Connections(), 0);
}

}  // namespace
