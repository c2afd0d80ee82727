// mbox:listMessages (pages and totals), mbox:searchMessages,
// mbox:readMessage, mbox:updateMessageInfos and mbox:deleteMessages, and
// the folder counters as messages come, move and go; and --answer-style
// field: the answers as the provider in the field writes them, with line
// breaks, extra members and flags, and nested counters.
#include <ctime>
#include <set>

#include "signed_in_provider.h"

namespace providertest {
namespace {

class MessageFunctions : public SignedInProvider {
protected:
    long long Count(std::int64_t folderId, const char* counter) {
        const ScriptValue folders = Client().Folders();
        const ScriptValue* folder = FolderById(folders, folderId);
        return folder != nullptr ? Counter(*folder, counter) : -1;
    }
};

TEST_F(MessageFunctions, ListsNewestFirstWithTheMembersInOrder) {
    const std::string first = Client().StoreFile("one", "O'Brien \\ 报告 \"1\".txt");
    const std::string second = Mail("second");
    ASSERT_FALSE(first.empty());
    ScriptValue page = Client().List(1);
    EXPECT_EQ(MessageIds(page), (std::vector<std::string>{second, first}));  // same second: the later stored first
    EXPECT_EQ(page.Keys(), (std::vector<std::string>{"code", "var"}));       // no total unless asked
    const ScriptValue& message = page.Get("var")->items[1];
    EXPECT_EQ(message.Keys(),
              (std::vector<std::string>{"id", "fid", "size", "from", "to", "subject", "sentDate", "receivedDate",
                                        "priority", "backgroundColor", "antiVirusStatus", "label0", "flags"}));
    EXPECT_EQ(message.Get("subject")->text, "O'Brien \\ 报告 \"1\".txt");
    EXPECT_EQ(message.Get("flags")->Keys(), (std::vector<std::string>{"read", "draft", "attached"}));
    EXPECT_FALSE(page.Get("var")->items[0].Get("flags")->Get("attached")->boolean);
    // Dates: six numbers, month counted from 0, local time, now.
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::vector<long long>& received = message.Get("receivedDate")->date;
    ASSERT_EQ(received.size(), 6u);
    EXPECT_EQ(received[0] * 100 + received[1], (local.tm_year + 1900) * 100 + local.tm_mon);
}

TEST_F(MessageFunctions, MovesMarksAndDeletionsKeepCountersTrue) {
    ASSERT_EQ(Client().CreateFolder("target"), "65550");
    std::vector<std::string> ids;
    for (int i = 1; i <= 4; ++i)
        ids.push_back(Client().StoreFile(std::string(100 * i, 'x'), std::to_string(i) + ".bin"));
    EXPECT_EQ(Count(1, "unreadMessageCount"), 4);
    EXPECT_EQ(Count(3, "messageCount") * 10 + Count(3, "unreadMessageCount"), 40);  // read sent copies
    const long long inboxSize = Count(1, "messageSize");
    ASSERT_EQ(Code(Client().Move({ids[0], ids[1], ids[2]}, 65550)), "S_OK");
    EXPECT_EQ(MessageIds(Client().List(1)), std::vector<std::string>{ids[3]});
    EXPECT_EQ(MessageIds(Client().List(65550)), (std::vector<std::string>{ids[2], ids[1], ids[0]}));
    EXPECT_EQ(Client().List(65550).Get("var")->items[0].Get("fid")->number, 65550);
    EXPECT_EQ(Count(65550, "unreadThreadCount"), 3);
    EXPECT_EQ(Count(1, "messageSize") + Count(65550, "messageSize"), inboxSize);
    ASSERT_EQ(
        Code(Client().Call("mbox:deleteMessages", "<object><array name=\"ids\"><string>" + ids[0] +
                                                      "</string><string>" + ids[3] + "</string></array></object>")),
        "S_OK");
    EXPECT_EQ(Count(1, "messageCount") * 10 + Count(65550, "messageCount") * 100 + Count(65550, "unreadMessageCount"),
              202);
    EXPECT_EQ(Client().Download(ids[0]).status, 404);
    // A deleted folder's messages go to the trash.
    ASSERT_EQ(
        Code(Client().Call("mbox:deleteFolders", "<object><array name=\"ids\"><int>65550</int></array></object>")),
        "S_OK");
    EXPECT_EQ(MessageIds(Client().List(4)), (std::vector<std::string>{ids[2], ids[1]}));
    EXPECT_EQ(Client().Download(ids[1]).body, std::string(200, 'x'));
    EXPECT_EQ(Code(Client().Move({}, 3)), "S_OK");  // no ids: nothing to do
}

// A folder of 205 seeded files, in pages.
class Paging : public SignedInProvider {
protected:
    void SetUp() override { Start({"--seed-folder", "many:205:10"}); }
};

TEST_F(Paging, PagesCarryTheTotalWhenAskedAndNeverMoreThan200) {
    const std::int64_t many = 65550;
    ASSERT_EQ(Client().Folders().Get("var")->items.back().Get("name")->text, "many");
    ScriptValue first = Client().List(many, 0, 500, true);
    ASSERT_EQ(first.Keys(), (std::vector<std::string>{"code", "var", "total"}));
    EXPECT_EQ(first.Get("total")->number, 205);
    std::vector<std::string> ids = MessageIds(first);
    EXPECT_EQ(ids.size(), 200u);
    EXPECT_EQ(first.Get("var")->items[0].Get("subject")->text, "file-00205.bin");
    std::vector<std::string> rest = MessageIds(Client().List(many, 200, 200, true));
    ids.insert(ids.end(), rest.begin(), rest.end());
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 205u);
    EXPECT_EQ(MessageIds(Client().List(many, 10, 3)), std::vector<std::string>(ids.begin() + 10, ids.begin() + 13));
    EXPECT_TRUE(MessageIds(Client().List(many, 205, 50, true)).empty());
    // The seeded files carry their manifests, and their bytes match them.
    const std::string manifest = Client().Read(ids.back()).Get("text")->Text("content");
    const std::string sha = Sha256Hex(Client().Download(ids.back()).body);
    EXPECT_EQ(manifest.substr(0, manifest.find("\nupload-id: ")),
              "vantlo-file: 1\nname: file-00001.bin\nsize: 10\nsha256: " + sha +
                  "\nparts: 1\npart: 1\noffset: 0\npart-size: 10\npart-sha256: " + sha);
}

// readMessage and searchMessages in both answer styles.
class ReadAndSearch : public SignedInProvider, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override { Start({"--answer-style", GetParam()}); }
};

TEST_P(ReadAndSearch, TextsAndAttachmentsComeBackWhateverTheirCharacters) {
    const std::string text = "vantlo-file: 1\nname: O'Brien\\文件 😀.txt\r\nkey:\tvalue \"quoted\"\n";
    const std::string bytes = "twelve bytes";
    const std::string id = Client().StoreFile(&bytes, "O'Brien\\文件 😀.txt [part 1 of 2 #00ff00aa]", text, "文件.001");
    const std::string other = Client().StoreFile(&bytes, "o'brien\\文件 😀.TXT");
    ASSERT_EQ(Code(Client().Move({other}, 3)), "S_OK");
    const ScriptValue var = Client().Read(id);
    EXPECT_EQ(var.Text("id") + "|" + var.Text("subject"), id + "|O'Brien\\文件 😀.txt [part 1 of 2 #00ff00aa]");
    EXPECT_EQ(var.Get("text")->Text("content"), text);
    ASSERT_EQ(var.Get("attachments")->items.size(), 1u);
    const ScriptValue& attachment = var.Get("attachments")->items[0];
    EXPECT_EQ(attachment.Get("id")->number * 100 + attachment.Get("contentLength")->number, 312);
    EXPECT_EQ(attachment.Text("filename"), "文件.001");
    if (std::string(GetParam()) == "neat") {
        EXPECT_EQ(
            Client().Call("mbox:readMessage", "<object><string name=\"id\">" + id + "</string></object>").body,
            "{'code':'S_OK','var':{'id':'" + id +
                "','subject':'O\\'Brien\\\\文件 😀.txt [part 1 of 2 #00ff00aa]',"
                "'text':{'content':'vantlo-file: 1\\nname: O\\'Brien\\\\文件 😀.txt\\r\\nkey:\\tvalue \"quoted\"\\n'},"
                "'attachments':[{'id':3,'filename':'文件.001','contentLength':12}]}}");
    } else {
        EXPECT_EQ(var.Keys().front(), "fid");  // members in another order, and more of them
    }
    // Case-blind search within a folder or all of them; the mail without attachment lists none.
    auto search = [this](const std::string& operand, const std::string& fids) {
        return Client().CallScript("mbox:searchMessages",
                                   "<object><array name=\"conditions\"><object><string name=\"field\">subject</string>"
                                   "<string name=\"operator\">contains</string><string name=\"operand\">" +
                                       XmlEscape(operand) +
                                       "</string><boolean name=\"ignoreCase\">true</boolean>"
                                       "</object></array>" +
                                       fids +
                                       "<int name=\"start\">0</int><int name=\"limit\">1</int><boolean "
                                       "name=\"returnTotal\">true</boolean></object>");
    };
    EXPECT_EQ(search("O'BRIEN\\文件", "").Get("total")->number, 4);  // with the sent copies
    EXPECT_EQ(search("#00ff00aa]", "").Get("total")->number, 2);
    EXPECT_EQ(MessageIds(search("'brien", "<array name=\"fids\"><int>1</int></array>")), std::vector<std::string>{id});
    EXPECT_EQ(search("#00ff00aa]", "<array name=\"fids\"><int>1</int><int>2</int></array>").Get("total")->number, 1);
    EXPECT_EQ(search("😀.txt", "<array name=\"fids\"><int>2</int></array>").Get("total")->number, 0);
    EXPECT_TRUE(Client().Read(Mail("bare")).Get("attachments")->items.empty());
}

// A summary window gives each listed message the first characters (code
// points, never half of one) of its text; none without a window.
TEST_P(ReadAndSearch, ListingsCarrySummariesOfTheWindowAsked) {
    const std::string text = "vantlo-file: 1\nname: O'Brien\\文件 😀.txt\n";  // 😀 is the 33rd character
    ASSERT_FALSE(Client().StoreFile(nullptr, "a.txt", text).empty());
    auto list = [this](const std::string& window) {
        return Client().Call("mbox:listMessages", "<object><int name=\"fid\">1</int>" + window + "</object>");
    };
    const struct {
        std::string window;
        bool carried;
        std::string summary;
    } cases[] = {
        {"", false, ""},
        {"<int name=\"summaryWindowSize\">0</int>", false, ""},
        {"<int name=\"summaryWindowSize\">1</int>", true, "v"},
        {"<int name=\"summaryWindowSize\">32</int>", true, "vantlo-file: 1\nname: O'Brien\\文件 "},
        {"<int name=\"summaryWindowSize\">33</int>", true, "vantlo-file: 1\nname: O'Brien\\文件 😀"},
        {"<int name=\"summaryWindowSize\">100000</int>", true, text},
    };
    for (const auto& c : cases) {
        ScriptValue page;
        std::string error;
        ASSERT_TRUE(ParseScript(list(c.window).body, page, error)) << error;
        ASSERT_TRUE(page.Get("var") != nullptr && page.Get("var")->items.size() == 1) << c.window;
        const ScriptValue& message = page.Get("var")->items[0];
        EXPECT_EQ(message.Get("summary") != nullptr, c.carried) << c.window;
        EXPECT_EQ(message.Text("summary"), c.summary) << c.window;
    }
    EXPECT_EQ(Code(list("<int name=\"summaryWindowSize\">-1</int>")), "FA_INVALID_PARAMETER");
}

INSTANTIATE_TEST_SUITE_P(BothStyles, ReadAndSearch, ::testing::Values("neat", "field"));

// --answer-style field.
class FieldStyle : public SignedInProvider {
protected:
    void SetUp() override { Start({"--answer-style", "field"}); }
};

TEST_F(FieldStyle, FoldersAndMessagesCarryExtraMembersFlagsAndLineBreaks) {
    ASSERT_EQ(Client().CreateFolder("a, {b}"), "65550");
    const std::string attached = Client().StoreFile("bytes", "with, {file}.bin");
    ASSERT_EQ(Client().Move({attached}, 65550).body, "{\n'code':'S_OK'}");
    // A line break after every brace and every comma between members (none of the names holds ",'" or "{'").
    for (const RawAnswer& raw : {Client().Call("mbox:getAllFolders", "<object/>"),
                                 Client().Call("mbox:listMessages", "<object><int name=\"fid\">65550</int></object>")})
        for (const char* joined : {",'", "{'", "},{"}) EXPECT_EQ(raw.body.find(joined), std::string::npos) << raw.body;
    const ScriptValue folders = Client().Folders();
    const ScriptValue* folder = FolderById(folders, 65550);
    EXPECT_EQ(folder->Keys(), (std::vector<std::string>{"id", "name", "parent", "keepPeriod", "expirytime", "stats"}));
    EXPECT_EQ(folder->Get("stats")->Keys(),
              (std::vector<std::string>{"messageCount", "messageSize", "unreadMessageCount", "unreadMessageSize",
                                        "threadCount", "unreadThreadCount"}));
    // The list view's own request: a total always comes along.
    ScriptValue page = Client().List(65550);
    EXPECT_EQ(page.Keys(), (std::vector<std::string>{"code", "var", "total"}));
    const ScriptValue& message = page.Get("var")->items.at(0);
    EXPECT_EQ(message.Keys(), (std::vector<std::string>{"id", "fid", "size", "from", "to", "subject", "sentDate",
                                                        "receivedDate", "priority", "backgroundColor",
                                                        "antiVirusStatus", "label0", "flags", "hmid", "ctrls"}));
    // False flags are left out; flags of the field's own stand among them.
    EXPECT_EQ(message.Get("flags")->Keys(), (std::vector<std::string>{"system", "attached", "report"}));
    EXPECT_EQ(Client().List(3).Get("var")->items.at(0).Get("flags")->Keys(),
              (std::vector<std::string>{"read", "system", "attached", "report"}));
}

TEST_F(FieldStyle, ComposeCreateAndErrorsKeepTheirShape) {
    EXPECT_EQ(Client().Call("mbox:compose", "<object/>").body.rfind("{\n'code':'S_OK',\n'var':'", 0), 0u);
    EXPECT_EQ(Client()
                  .Call("mbox:createUserFolders",
                        "<object><array name=\"items\"><object><string name=\"name\">n"
                        "</string></object></array></object>")
                  .body,
              "{\n'code':'S_OK',\n'var':[65550]}");
    EXPECT_EQ(Client().Call("mbox:nothing", "<object/>").body, "{\n'code':'FA_UNKNOWN_FUNCTION'}");
    EXPECT_NE(Client().CookieLine().find(Client().Sid() + "%7C"), std::string::npos);  // more after the sid
}

}  // namespace
}  // namespace providertest
