// --answer-style field: the answers as the provider in the field writes
// them, with line breaks, extra members and flags, and nested counters.
#include "signed_in_provider.h"

namespace providertest {
namespace {

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
