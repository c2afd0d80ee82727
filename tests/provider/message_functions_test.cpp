// mbox:listMessages, mbox:updateMessageInfos and mbox:deleteMessages, and
// the folder counters as messages come, move and go.
#include <ctime>

#include "signed_in_provider.h"

namespace providertest {
namespace {

class MessageFunctions : public SignedInProvider {
protected:
    // A message without attachment, delivered to the account itself.
    std::string Mail(const std::string& subject) {
        std::string composeId = Client().OpenCompose();
        ScriptValue value;
        std::string error;
        RawAnswer answer = Client().Deliver(composeId, subject, 0);
        if (!ParseScript(answer.body, value, error) || value.Get("var") == nullptr) return std::string();
        return value.Get("var")->text;
    }
    long long Count(std::int64_t folderId, const char* counter) {
        const ScriptValue folders = Client().Folders();
        const ScriptValue* folder = FolderById(folders, folderId);
        return folder != nullptr ? Counter(*folder, counter) : -1;
    }
    std::string Code(const RawAnswer& answer) { return WebmailClient::CodeOf(answer); }
};

TEST_F(MessageFunctions, ListsNewestFirstWithTheMembersInOrder) {
    const std::string first = Client().StoreFile("one", "O'Brien \\ 报告 \"1\".txt");
    const std::string second = Mail("second");
    const std::string third = Mail("third");
    ASSERT_FALSE(first.empty());
    ScriptValue page = Client().List(1);
    // Stored in the same second: the newest stored comes first.
    EXPECT_EQ(MessageIds(page), (std::vector<std::string>{third, second, first}));
    const ScriptValue& message = page.Get("var")->items[2];
    EXPECT_EQ(message.Keys(),
              (std::vector<std::string>{"id", "fid", "size", "from", "to", "subject", "sentDate", "receivedDate",
                                        "priority", "backgroundColor", "antiVirusStatus", "label0", "flags"}));
    EXPECT_LE(message.Get("id")->text.size(), 31u);
    EXPECT_EQ(message.Get("fid")->number, 1);
    EXPECT_GT(message.Get("size")->number, 3);
    EXPECT_EQ(message.Get("from")->text, kTestAccount);
    EXPECT_EQ(message.Get("to")->text, kTestAccount);
    EXPECT_EQ(message.Get("subject")->text, "O'Brien \\ 报告 \"1\".txt");
    const ScriptValue* flags = message.Get("flags");
    EXPECT_EQ(flags->Keys(), (std::vector<std::string>{"read", "draft", "attached"}));
    EXPECT_FALSE(flags->Get("read")->boolean);
    EXPECT_FALSE(flags->Get("draft")->boolean);
    EXPECT_TRUE(flags->Get("attached")->boolean);
    EXPECT_FALSE(page.Get("var")->items[0].Get("flags")->Get("attached")->boolean);
    // Dates: six numbers, month counted from 0, local time, now.
    const std::vector<long long>& received = message.Get("receivedDate")->date;
    ASSERT_EQ(received.size(), 6u);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    EXPECT_EQ(received[0], local.tm_year + 1900);
    EXPECT_EQ(received[1], local.tm_mon);
    EXPECT_EQ(received[2], local.tm_mday);
    EXPECT_EQ(message.Get("sentDate")->date.size(), 6u);
    // The escapes as they stand in the text.
    EXPECT_NE(Client()
                  .Call("mbox:listMessages", "<object><int name=\"fid\">1</int></object>")
                  .body.find("'subject':'O\\'Brien \\\\ 报告 \"1\".txt'"),
              std::string::npos);
}

TEST_F(MessageFunctions, HonoursStartAndLimit) {
    std::vector<std::string> stored;
    for (int i = 0; i < 51; ++i) stored.push_back(Mail("mail " + std::to_string(i)));
    std::vector<std::string> newestFirst(stored.rbegin(), stored.rend());
    ScriptValue page = Client().List(1, 0, 50);
    std::vector<std::string> ids = MessageIds(page);
    ASSERT_EQ(ids.size(), 50u);
    EXPECT_EQ(ids, std::vector<std::string>(newestFirst.begin(), newestFirst.begin() + 50));
    EXPECT_EQ(MessageIds(Client().List(1, 50, 50)), std::vector<std::string>{stored.front()});
    EXPECT_EQ(MessageIds(Client().List(1, 10, 3)),
              std::vector<std::string>(newestFirst.begin() + 10, newestFirst.begin() + 13));
    EXPECT_TRUE(MessageIds(Client().List(1, 60, 50)).empty());
    EXPECT_TRUE(MessageIds(Client().List(1, 0, 0)).empty());
    ScriptValue oldestFirst =
        Client().CallScript("mbox:listMessages",
                            "<object><int name=\"fid\">1</int><boolean name=\"desc\">false</boolean><int "
                            "name=\"limit\">2</int></object>");
    EXPECT_EQ(MessageIds(oldestFirst), (std::vector<std::string>{stored[0], stored[1]}));
    EXPECT_EQ(Count(1, "messageCount"), 51);
}

TEST_F(MessageFunctions, MovesKeepCountersTrue) {
    const std::string target = Client().CreateFolder("target");
    ASSERT_EQ(target, "65550");
    const std::string a = Client().StoreFile(std::string(100, 'a'), "a.bin");
    const std::string b = Client().StoreFile(std::string(200, 'b'), "b.bin");
    const std::string c = Client().StoreFile(std::string(300, 'c'), "c.bin");
    const std::string d = Client().StoreFile(std::string(400, 'd'), "d.bin");
    EXPECT_EQ(Count(1, "messageCount"), 4);
    EXPECT_EQ(Count(1, "unreadMessageCount"), 4);
    EXPECT_EQ(Count(3, "messageCount"), 4);  // the sent copies
    EXPECT_EQ(Count(3, "unreadMessageCount"), 0);
    const long long inboxSize = Count(1, "messageSize");

    ASSERT_EQ(Code(Client().Move({a, b, c}, 65550)), "S_OK");
    EXPECT_EQ(MessageIds(Client().List(1)), std::vector<std::string>{d});
    EXPECT_EQ(MessageIds(Client().List(65550)), (std::vector<std::string>{c, b, a}));
    EXPECT_EQ(Client().List(65550).Get("var")->items[0].Get("fid")->number, 65550);
    EXPECT_EQ(Count(1, "messageCount"), 1);
    EXPECT_EQ(Count(65550, "messageCount"), 3);
    EXPECT_EQ(Count(65550, "unreadMessageCount"), 3);
    EXPECT_EQ(Count(65550, "unreadThreadCount"), 3);
    EXPECT_EQ(Count(1, "messageSize") + Count(65550, "messageSize"), inboxSize);

    // Marking read moves the unread counters only.
    RawAnswer read = Client().Call("mbox:updateMessageInfos",
                                   "<object><array name=\"ids\"><string>" + b +
                                       "</string></array><object name=\"attrs\"><object name=\"flags\"><boolean "
                                       "name=\"read\">true</boolean></object></object></object>");
    EXPECT_EQ(Code(read), "S_OK");
    EXPECT_EQ(Count(65550, "messageCount"), 3);
    EXPECT_EQ(Count(65550, "unreadMessageCount"), 2);
    EXPECT_EQ(Count(65550, "unreadMessageSize") + 200 + 1024 + 5, Count(65550, "messageSize"));

    ASSERT_EQ(Code(Client().DeleteMessages({a, d})), "S_OK");
    EXPECT_EQ(Count(1, "messageCount"), 0);
    EXPECT_EQ(Count(65550, "messageCount"), 2);
    EXPECT_EQ(Client().Download(a).status, 404);
}

TEST_F(MessageFunctions, DeletingAFolderPutsItsMessagesInTheTrash) {
    ASSERT_EQ(Client().CreateFolder("doomed"), "65550");
    const std::string kept = Client().StoreFile("keep me", "keep.txt");
    ASSERT_EQ(Code(Client().Move({kept}, 65550)), "S_OK");
    RawAnswer deleted =
        Client().Call("mbox:deleteFolders", "<object><array name=\"ids\"><int>65550</int></array></object>");
    ASSERT_EQ(Code(deleted), "S_OK");
    EXPECT_EQ(FolderById(Client().Folders(), 65550), nullptr);
    EXPECT_EQ(MessageIds(Client().List(4)), std::vector<std::string>{kept});
    EXPECT_EQ(Count(4, "messageCount"), 1);
    EXPECT_EQ(Client().Download(kept).body, "keep me");
}

TEST_F(MessageFunctions, RefusalsChangeNothing) {
    const std::string a = Mail("a");
    const std::string b = Mail("b");
    const std::string before = Client().Call("mbox:listMessages", "<object><int name=\"fid\">1</int></object>").body;
    const std::string foldersBefore = Client().Call("mbox:getAllFolders", "<object/>").body;
    struct Case {
        const char* what;
        RawAnswer answer;
        const char* code;
    } cases[] = {
        {"move with an unknown id", Client().Move({a, "1tbi0000000099nothere"}, 3), "FA_MESSAGE_NOT_FOUND"},
        {"move into an unknown folder", Client().Move({a}, 65550), "FA_FOLDER_NOT_FOUND"},
        {"move without attrs",
         Client().Call("mbox:updateMessageInfos",
                       "<object><array name=\"ids\"><string>" + a + "</string></array></object>"),
         "FA_INVALID_PARAMETER"},
        {"move to a folder that is no number",
         Client().Call("mbox:updateMessageInfos",
                       "<object><array name=\"ids\"><string>" + a +
                           "</string></array><object name=\"attrs\"><int name=\"fid\">x</int></object></object>"),
         "FA_INVALID_PARAMETER"},
        {"delete with an unknown id", Client().DeleteMessages({b, "nope"}), "FA_MESSAGE_NOT_FOUND"},
        {"delete, ids not an array",
         Client().Call("mbox:deleteMessages", "<object><string name=\"ids\">" + a + "</string></object>"),
         "FA_INVALID_PARAMETER"},
        {"list an unknown folder", Client().Call("mbox:listMessages", "<object><int name=\"fid\">70000</int></object>"),
         "FA_FOLDER_NOT_FOUND"},
        {"list without fid", Client().Call("mbox:listMessages", "<object/>"), "FA_INVALID_PARAMETER"},
        {"list from a negative start",
         Client().Call("mbox:listMessages", "<object><int name=\"fid\">1</int><int name=\"start\">-1</int></object>"),
         "FA_INVALID_PARAMETER"},
        {"list by an unknown order",
         Client().Call("mbox:listMessages",
                       "<object><int name=\"fid\">1</int><string name=\"order\">size;drop</string></object>"),
         "FA_INVALID_PARAMETER"},
        {"malformed XML",
         Client().Call("mbox:deleteMessages", "<object><array name=\"ids\"><string>" + a + "</array></object>"),
         "FA_PARSE_ERROR"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.answer.body, std::string("{'code':'") + c.code + "'}") << c.what;
    EXPECT_EQ(Client().Call("mbox:listMessages", "<object><int name=\"fid\">1</int></object>").body, before);
    EXPECT_EQ(Client().Call("mbox:getAllFolders", "<object/>").body, foldersBefore);
}

TEST_F(MessageFunctions, AnEmptyIdListIsANoOp) {
    const std::string a = Mail("a");
    EXPECT_EQ(Code(Client().Move({}, 3)), "S_OK");
    EXPECT_EQ(Code(Client().DeleteMessages({})), "S_OK");
    EXPECT_EQ(MessageIds(Client().List(1)), std::vector<std::string>{a});
}

}  // namespace
}  // namespace providertest
