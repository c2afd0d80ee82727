// The value-type functions the catalog stands on (their requests byte for
// byte are requests_test's, downloads transfers_test's): answers in both
// styles with every escape, a stretch of a file uploaded under its own
// name, and the delivery with a text body.
#include <gtest/gtest.h>

#include "session/message_queries.h"
#include "session/upload.h"
#include "session_fixture.h"

namespace {

using session::Status;
using testsupport::HttpAnswer;
using QueriesTest = testsupport::SessionTest;

TEST(MessageValues, AnswersInBothStylesDecodeEveryEscape) {
    const std::string neat =
        "{'code':'S_OK','var':[{'id':'m1','fid':7,'size':2048,'subject':'it\\'s \\\\ \\u6587\\ud83d\\ude00\\ud800 "
        "\\x41',"
        "'receivedDate':new Date(2026,9,2,3,4,5),'flags':{'read':false,'attached':true}},"
        "{'id':'m2','subject':'a\\tb\\nc','flags':{'read':true},'size':'x','from':'\"A\" <a@b>',"
        "'sentDate':new Date(2026,0,31,23,59,0)}],'total':451}";
    const std::string field =
        "{\n'code':'S_OK',\n'var':[{\n'ctrls':{'id':'c','attached':true},\n'size':9,\n"
        "'flags':{\n'system':false},\n'id':'m3',\n'subject':'\\u00e9'\n}]\n}";
    session::MessagePage page;
    ASSERT_EQ(session::ReadMessagePageAnswer(neat, page), Status::Ok);
    ASSERT_EQ(page.messages.size(), 2u);
    const session::MessageSummary& first = page.messages[0];
    EXPECT_EQ(first.subject, "it's \\ \xE6\x96\x87\xF0\x9F\x98\x80\xEF\xBF\xBD A");
    EXPECT_TRUE(first.id == "m1" && first.folderId == "7" && first.size == 2048 && first.attached);
    EXPECT_EQ(first.receivedDate, "2026,10,2,3,4,5");
    EXPECT_TRUE(page.messages[1].subject == "a\tb\nc" && !page.messages[1].attached && page.messages[1].size == 0);
    EXPECT_TRUE(!first.read && page.messages[1].read && first.from.empty() && first.sentDate.empty());
    EXPECT_TRUE(page.messages[1].from == "\"A\" <a@b>" && page.messages[1].sentDate == "2026,1,31,23,59,0");
    EXPECT_TRUE(page.hasTotal && page.total == 451);
    ASSERT_EQ(session::ReadMessagePageAnswer(field, page), Status::Ok);
    EXPECT_TRUE(page.messages.size() == 1 && page.messages[0].subject == "\xC3\xA9" && !page.messages[0].attached &&
                !page.hasTotal);
    for (const char* bad : {"{'code':'S_OK','var':{}}", "{'code':'S_OK','var':[{'subject':'no id'}]}",
                            "{'code':'S_OK','var':[65550]}", "{'code':'S_OK','var':[{'id':'1:1'},'x']}"})
        EXPECT_EQ(session::ReadMessagePageAnswer(bad, page), Status::Unreadable) << bad;

    const std::string read =
        "{\n'code':'S_OK',\n'var':{\n'fid':1,\n'attachments':[{\n'contentLength':33554432,\n'filename':'v.mp4.003',\n"
        "'id':3\n},{'id':4,'filename':'b','contentLength':0}],\n'sentDate':new Date(2026,0,1,0,0,0),\n'subject':'v.mp4 "
        "[part 3 of 12 #3fa9c2e1]',\n'text':{\n'contentType':'text/plain',\n'content':'vantlo-file: 1\\nname: "
        "\\u0076.mp4\\r\\n'\n},\n'id':'m9'\n}\n}";
    session::MessageContent content;
    ASSERT_EQ(session::ReadMessageAnswer(read, content), Status::Ok);
    EXPECT_EQ(content.text, "vantlo-file: 1\nname: v.mp4\r\n");
    EXPECT_TRUE(content.id == "m9" && content.subject == "v.mp4 [part 3 of 12 #3fa9c2e1]");
    ASSERT_EQ(content.attachments.size(), 2u);
    EXPECT_TRUE(content.attachments[0].filename == "v.mp4.003" && content.attachments[0].contentLength == 33554432 &&
                content.attachments[0].id == "3");
    EXPECT_EQ(session::ReadMessageAnswer("{'code':'S_OK','var':[{'id':'m'}]}", content), Status::Unreadable);
}

TEST_F(QueriesTest, AStretchOfAFileTravelsUnderItsOwnNameWithItsDelivery) {
    const std::string bytes = "0123456789abcdefghij";
    std::vector<std::uint64_t> sent;
    for (const char* answer : {"{'code':'S_OK','var':'c1'}", "{'code':'S_OK'}", "{'code':'S_OK'}"})
        server.PushAnswer(HttpAnswer(answer));
    const session::FileRange range{File("big.iso", bytes), 5, 10, "big.iso.0042"};
    ASSERT_EQ(session::UploadFileRange(s, range, [&](std::uint64_t n) { return sent.push_back(n), true; }), Status::Ok);
    const std::string form = server.Requests().back();
    EXPECT_NE(form.find("filename=\"big.iso.0042\"\r\nContent-Type: application/octet-stream\r\n\r\n56789abcde\r\n--"),
              std::string::npos);
    EXPECT_EQ(sent.back(), 10u);
    ASSERT_EQ(session::DeliverFile(s, "big.iso [part 42 of 1000 #0badcafe]", "vantlo-file: 1\n<&>", "big.iso.0042", 10),
              Status::Ok);
    const std::string delivery = server.Requests().back();
    for (const char* piece :
         {"<string name=\"content\">vantlo-file: 1\n&lt;&amp;&gt;</string><boolean name=\"isHtml\">false</boolean>",
          "<boolean name=\"saveSentCopy\">false</boolean>", "<string name=\"name\">big.iso.0042</string>",
          "<int name=\"size\">10</int>"})
        EXPECT_NE(delivery.find(piece), std::string::npos) << piece;
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':'c2'}"));
    EXPECT_EQ(session::UploadFileRange(s, range, [](std::uint64_t n) { return n == 0; }), Status::Cancelled);
    EXPECT_EQ(session::UploadFileRange(s, {range.path, 15, 6, "x"}, {}), Status::FileError);
}

}  // namespace
