// --answer-style field: the answers as the provider in the field writes
// them, with line breaks, extra members and flags, and nested counters.
#include "signed_in_provider.h"

namespace providertest {
namespace {

class FieldStyle : public SignedInProvider {
protected:
    void SetUp() override { Start({"--answer-style", "field"}); }
};

// Every "{" and every "," outside texts and date parentheses must be
// followed by a line break; returns the offset of the first that is not.
std::size_t FirstMissingBreak(const std::string& text) {
    bool quoted = false;
    int parentheses = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '\'')
                quoted = false;
            continue;
        }
        if (c == '\'') quoted = true;
        if (c == '(') ++parentheses;
        if (c == ')') --parentheses;
        if ((c == '{' || (c == ',' && parentheses == 0)) && (i + 1 >= text.size() || text[i + 1] != '\n')) return i;
    }
    return std::string::npos;
}

TEST_F(FieldStyle, FoldersCarryExtraMembersAndNestedStats) {
    ASSERT_EQ(Client().CreateFolder("a, {b}"), "65550");
    RawAnswer raw = Client().Call("mbox:getAllFolders", "<object/>");
    EXPECT_EQ(raw.body.rfind("{\n'code':'S_OK',\n'var':[{\n'id':1,\n'name':'收件箱',\n", 0), 0u) << raw.body;
    EXPECT_EQ(FirstMissingBreak(raw.body), std::string::npos) << raw.body;
    ScriptValue answer = Client().Folders();
    const ScriptValue* folder = FolderById(answer, 65550);
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->Get("name")->text, "a, {b}");
    EXPECT_EQ(folder->Keys(), (std::vector<std::string>{"id", "name", "parent", "keepPeriod", "expirytime", "stats"}));
    EXPECT_EQ(folder->Get("expirytime")->date.size(), 3u);
    const ScriptValue* stats = folder->Get("stats");
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->Keys(), (std::vector<std::string>{"messageCount", "messageSize", "unreadMessageCount",
                                                       "unreadMessageSize", "threadCount", "unreadThreadCount"}));
}

TEST_F(FieldStyle, MessagesCarryExtraMembersFlagsAndATotal) {
    const std::string attached = Client().StoreFile("bytes", "with, file.bin");
    ASSERT_FALSE(attached.empty());
    RawAnswer raw = Client().Call("mbox:listMessages", "<object><int name=\"fid\">1</int></object>");
    EXPECT_EQ(FirstMissingBreak(raw.body), std::string::npos) << raw.body;
    EXPECT_NE(raw.body.find("'sentDate':new Date("), std::string::npos);
    ScriptValue page = Client().List(1);
    ASSERT_EQ(page.Get("var")->items.size(), 1u);
    const ScriptValue& message = page.Get("var")->items[0];
    EXPECT_EQ(message.Keys(), (std::vector<std::string>{"id", "fid", "size", "from", "to", "subject", "sentDate",
                                                        "receivedDate", "priority", "backgroundColor",
                                                        "antiVirusStatus", "label0", "flags", "hmid", "ctrls"}));
    // False flags are left out; flags of the field's own stand among them.
    EXPECT_EQ(message.Get("flags")->Keys(), (std::vector<std::string>{"system", "attached", "report"}));
    EXPECT_EQ(page.Keys(), (std::vector<std::string>{"code", "var", "total"}));
    EXPECT_EQ(page.Get("total")->number, 1);
    ASSERT_EQ(Client().Move({attached}, 3).body, "{\n'code':'S_OK'}");
    const ScriptValue sent = Client().List(3, 0, 1);
    EXPECT_EQ(sent.Get("var")->items.at(0).Get("flags")->Keys(),
              (std::vector<std::string>{"read", "system", "attached", "report"}));
}

TEST_F(FieldStyle, ComposeCreateAndErrorsKeepTheirShape) {
    RawAnswer compose = Client().Call("mbox:compose", "<?xml version=\"1.0\"?><object/>");
    EXPECT_EQ(compose.body.rfind("{\n'code':'S_OK',\n'var':'", 0), 0u) << compose.body;
    RawAnswer create = Client().Call("mbox:createUserFolders",
                                     "<object><array name=\"items\"><object><string name=\"name\">n</string>"
                                     "</object></array></object>");
    EXPECT_EQ(create.body, "{\n'code':'S_OK',\n'var':[65550]}");
    EXPECT_EQ(Client().Call("mbox:nothing", "<object/>").body, "{\n'code':'FA_UNKNOWN_FUNCTION'}");
    // The webmail cookie carries more after its sid.
    EXPECT_GT(Client().Coremail().size(), 9u + 14 + 32 + 1);
}

}  // namespace
}  // namespace providertest
