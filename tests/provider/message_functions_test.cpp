// mbox:listMessages (pages and totals), mbox:searchMessages,
// mbox:readMessage, mbox:updateMessageInfos and mbox:deleteMessages, and
// the folder counters as messages come, move and go; and --answer-style
// field: the answers as the provider in the field writes them, with line
// breaks, extra members and flags, and nested counters.
#include <ctime>

#include "session/folders.h"
#include "session/message_moves.h"
#include "session/message_queries.h"
#include "signed_in_provider.h"

namespace providertest {
namespace {

using session::Status;

std::string MarkRead(const std::string& id) {
    return "<object><array name=\"ids\"><string>" + id +
           "</string></array><object name=\"attrs\"><object name=\"flags\"><boolean name=\"read\">true</boolean>"
           "</object></object></object>";
}
std::string ListBody(const std::string& folderId, const std::string& more = "") {
    return "<object><int name=\"fid\">" + folderId + "</int>" + more + "</object>";
}
// The keys of the first message of a listing, or of its flags.
std::vector<std::string> MessageKeys(const std::string& body) {
    return KeysOf(body.substr(body.find("'var':") + 6));
}
std::vector<std::string> FlagKeys(const std::string& body) {
    return KeysOf(body.substr(body.find("'flags':")));
}

class MessageFunctions : public SignedInProvider {
protected:
    // A counter cell of a folder: "" when the folder is not there.
    template <std::size_t N>
    std::string Count(const std::string& folderId, char (session::FolderRow::*counter)[N]) {
        const std::vector<session::FolderRow> folders = Folders(s);
        const session::FolderRow* folder = FolderById(folders, folderId);
        return folder != nullptr ? std::string(folder->*counter) : std::string();
    }
};

TEST_F(MessageFunctions, ListsNewestFirstWithTheMembersInOrder) {
    const std::string first = Store("one", "O'Brien \\ 报告 \"1\".txt");
    const std::string second = Mail("second");
    ASSERT_FALSE(first.empty());
    const session::MessagePage page = List(s, "1");
    EXPECT_EQ(Ids(page), (std::vector<std::string>{second, first}));  // same second: the later stored first
    const std::string body = Call(s, "mbox:listMessages", ListBody("1")).body;
    EXPECT_EQ(KeysOf(body), (std::vector<std::string>{"code", "var"}));  // no total unless asked
    EXPECT_EQ(MessageKeys(body),
              (std::vector<std::string>{"id", "fid", "size", "from", "to", "subject", "sentDate", "receivedDate",
                                        "priority", "backgroundColor", "antiVirusStatus", "label0", "flags"}));
    EXPECT_EQ(FlagKeys(body), (std::vector<std::string>{"read", "draft", "attached"}));
    EXPECT_EQ(page.messages.at(1).subject, "O'Brien \\ 报告 \"1\".txt");
    EXPECT_TRUE(page.messages[1].attached && !page.messages[0].attached);
    // Dates: six numbers, local time, now.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string& received = page.messages[1].receivedDate;
    EXPECT_EQ(std::count(received.begin(), received.end(), ','), 5) << received;
    EXPECT_EQ(received.rfind(std::to_string(local.tm_year + 1900) + "," + std::to_string(local.tm_mon + 1) + ",", 0),
              0u)
        << received;
}

TEST_F(MessageFunctions, MovesMarksAndDeletionsKeepCountersTrue) {
    std::string target;
    ASSERT_EQ(session::CreateUserFolder(s, "target", target), Status::Ok);
    std::vector<std::string> ids;
    for (int i = 1; i <= 4; ++i) ids.push_back(Store(std::string(100 * i, 'x'), std::to_string(i) + ".bin"));
    EXPECT_EQ(Count("1", &session::FolderRow::unreadMessageCount), "4");
    ASSERT_EQ(Code("mbox:updateMessageInfos", MarkRead(ids[0])), "S_OK");
    EXPECT_EQ(Count("1", &session::FolderRow::messageCount) + Count("1", &session::FolderRow::unreadMessageCount) +
                  Count("1", &session::FolderRow::threadCount),
              "434");  // every message is a thread of its own
    const long long inboxSize = std::stoll(Count("1", &session::FolderRow::messageSize));
    ASSERT_EQ(session::MoveMessages(s, {ids[0], ids[1], ids[2]}, target), Status::Ok);
    EXPECT_EQ(Ids(List(s, "1")), std::vector<std::string>{ids[3]});
    const session::MessagePage moved = List(s, target);
    EXPECT_EQ(Ids(moved), (std::vector<std::string>{ids[2], ids[1], ids[0]}));
    EXPECT_EQ(moved.messages.at(0).folderId, target);
    EXPECT_EQ(Count(target, &session::FolderRow::unreadThreadCount), "2");
    EXPECT_EQ(std::stoll(Count("1", &session::FolderRow::messageSize)) +
                  std::stoll(Count(target, &session::FolderRow::messageSize)),
              inboxSize);
    ASSERT_EQ(session::DeleteMessages(s, {ids[0], ids[3]}), Status::Ok);
    EXPECT_EQ(Count("1", &session::FolderRow::messageCount) + Count(target, &session::FolderRow::messageCount) +
                  Count(target, &session::FolderRow::unreadMessageCount),
              "022");
    Status fetched = Status::Ok;
    EXPECT_EQ(Fetch(s, ids[0], &fetched), "");
    EXPECT_EQ(fetched, Status::Refused);
    // A deleted folder's messages go to the trash.
    ASSERT_EQ(session::DeleteFolder(s, target), Status::Ok);
    EXPECT_EQ(Ids(List(s, "4")), (std::vector<std::string>{ids[2], ids[1]}));
    EXPECT_EQ(Fetch(s, ids[1]), std::string(200, 'x'));
    EXPECT_EQ(session::MoveMessages(s, {}, "3"), Status::Ok);  // no ids: nothing to do
}

// readMessage and searchMessages in both answer styles.
class ReadAndSearch : public MessageFunctions, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { Start({"--answer-style", GetParam()}); }
};

TEST_P(ReadAndSearch, TextsAndAttachmentsComeBackWhateverTheirCharacters) {
    const std::string text = "vantlo-file: 1\nname: O'Brien\\文件 😀.txt\r\nkey:\tvalue \"quoted\"\n";
    const std::string bytes = "twelve bytes";
    const std::string id = StoreFile(s, &bytes, "O'Brien\\文件 😀.txt [part 1 of 2 #00ff00aa]", text, "文件.001");
    const std::string other = Store(bytes, "o'brien\\文件 😀.TXT");
    ASSERT_EQ(session::MoveMessages(s, {other}, "3"), Status::Ok);
    const session::MessageContent read = Read(s, id);
    EXPECT_EQ(read.id + "|" + read.subject, id + "|O'Brien\\文件 😀.txt [part 1 of 2 #00ff00aa]");
    EXPECT_EQ(read.text, text);
    ASSERT_EQ(read.attachments.size(), 1u);
    EXPECT_EQ(read.attachments[0].id + "|" + read.attachments[0].filename, "3|文件.001");
    EXPECT_EQ(read.attachments[0].contentLength, 12u);
    const std::string body =
        Call(s, "mbox:readMessage", "<object><string name=\"id\">" + id + "</string></object>").body;
    if (std::string(GetParam()) == "neat") {
        EXPECT_EQ(body, "{'code':'S_OK','var':{'id':'" + id +
                            "','subject':'O\\'Brien\\\\文件 😀.txt [part 1 of 2 #00ff00aa]',"
                            "'text':{'content':'vantlo-file: 1\\nname: O\\'Brien\\\\文件 😀.txt\\r\\nkey:\\tvalue "
                            "\"quoted\"\\n'},'attachments':[{'id':3,'filename':'文件.001','contentLength':12}]}}");
    } else {
        // What the product's readers must cope with (their exact members are
        // the readers' tests' business): another order and more members, line
        // breaks between members, counters nested in "stats", a total always,
        // and false flags left out beside flags of the field's own.
        EXPECT_EQ(KeysOf(body.substr(body.find("'var':"))).at(0), "fid");
        const std::string folders = Call(s, "mbox:getAllFolders", "<object/>").body,
                          listing = Call(s, "mbox:listMessages", ListBody("1")).body;
        for (const std::string& answer : {body, folders, listing})
            for (const char* joined : {",'", "{'", "},{"}) EXPECT_EQ(answer.find(joined), std::string::npos) << answer;
        EXPECT_NE(folders.find("'stats':"), std::string::npos) << folders;
        EXPECT_EQ(Count("1", &session::FolderRow::messageCount), "1");
        EXPECT_EQ(KeysOf(listing), (std::vector<std::string>{"code", "var", "total"}));
        EXPECT_EQ(FlagKeys(listing), (std::vector<std::string>{"system", "attached", "report"}));
    }
    // Case-blind search within some folders or all of them.
    auto total = [this](const std::string& operand, const std::vector<std::string>& folderIds) {
        session::MessagePage page;
        EXPECT_EQ(session::SearchMessagePage(s, operand, folderIds, 0, 1, page), Status::Ok) << s.refusalCode;
        return page.total;
    };
    EXPECT_EQ(total("O'BRIEN\\文件", {}), 2u);
    EXPECT_EQ(total("#00ff00aa]", {}), 1u);
    EXPECT_EQ(total("'brien", {"3"}), 1u);
    EXPECT_EQ(total("'brien", {"3", "1"}), 2u);
    EXPECT_EQ(total("😀.txt", {"2"}), 0u);
    EXPECT_TRUE(Read(s, Mail("bare")).attachments.empty());
}

// A summary window gives each listed message the first characters (code
// points, never half of one) of its text; none without a window.
TEST_P(ReadAndSearch, ListingsCarrySummariesOfTheWindowAsked) {
    const std::string text = "vantlo-file: 1\nname: O'Brien\\文件 😀.txt\n";  // 😀 is the 33rd character
    ASSERT_FALSE(StoreFile(s, nullptr, "a.txt", text).empty());
    const std::pair<std::uint32_t, std::string> cases[] = {
        {1, "v"},
        {32, "vantlo-file: 1\nname: O'Brien\\文件 "},
        {33, "vantlo-file: 1\nname: O'Brien\\文件 😀"},
        {100000, text},
    };
    for (const auto& [window, summary] : cases) {
        session::MessagePage page;
        ASSERT_EQ(session::ListMessagePage(s, "1", 0, 50, page, window), Status::Ok) << window;
        ASSERT_EQ(page.messages.size(), 1u);
        EXPECT_TRUE(page.messages[0].hasSummary && page.messages[0].summary == summary) << window;
    }
    EXPECT_FALSE(List(s, "1").messages.at(0).hasSummary);
    const std::string window = "<int name=\"summaryWindowSize\">";
    EXPECT_EQ(Call(s, "mbox:listMessages", ListBody("1", window + "0</int>")).body.find("'summary'"),
              std::string::npos);
    EXPECT_EQ(Code("mbox:listMessages", ListBody("1", window + "-1</int>")), "FA_INVALID_PARAMETER");
}

INSTANTIATE_TEST_SUITE_P(BothStyles, ReadAndSearch, ::testing::Values("neat", "field"));

}  // namespace
}  // namespace providertest
