// mbox:getAllFolders, mbox:createUserFolders, mbox:updateFolders and
// mbox:deleteFolders against a real provider.
#include "signed_in_provider.h"

namespace providertest {
namespace {

class FolderFunctions : public SignedInProvider {};

std::vector<std::pair<long long, std::string>> FolderNames(const ScriptValue& answer) {
    std::vector<std::pair<long long, std::string>> folders;
    const ScriptValue* var = answer.Get("var");
    if (var == nullptr) return folders;
    for (const ScriptValue& folder : var->items)
        folders.emplace_back(folder.Get("id")->number, folder.Get("name")->text);
    return folders;
}

std::string RenameBody(const std::string& id, const std::string& nameXml) {
    return "<?xml version=\"1.0\"?><object><array name=\"items\"><object><int name=\"id\">" + id +
           "</int><string name=\"name\">" + nameXml + "</string></object></array></object>";
}

std::string DeleteBody(const std::string& id) {
    return "<?xml version=\"1.0\"?><object><array name=\"ids\"><int>" + id + "</int></array></object>";
}

TEST_F(FolderFunctions, EveryAccountStartsWithTheSystemFolders) {
    ScriptValue answer = Client().Folders();
    EXPECT_EQ(answer.Get("code")->text, "S_OK");
    const std::vector<std::pair<long long, std::string>> expected = {
        {1, "收件箱"}, {2, "草稿箱"}, {3, "已发送"}, {4, "已删除"}, {5, "垃圾邮件"}};
    EXPECT_EQ(FolderNames(answer), expected);
    // Members in the order the client's reader walks them, counters at 0.
    const ScriptValue& inbox = answer.Get("var")->items[0];
    EXPECT_EQ(inbox.Keys(), (std::vector<std::string>{"id", "name", "messageCount", "messageSize", "unreadMessageCount",
                                                      "unreadMessageSize", "threadCount", "unreadThreadCount"}));
    for (const char* counter : {"messageCount", "messageSize", "unreadMessageCount", "unreadThreadCount"})
        EXPECT_EQ(Counter(inbox, counter), 0) << counter;
}

TEST_F(FolderFunctions, CreatesRenamesAndDeletesWithNamesAsTyped) {
    const std::vector<std::string> names = {"R&D <2026>", "it's \"quoted\"", "back\\slash", "文件夹 id", "paid"};
    std::vector<std::string> ids;
    for (const std::string& name : names) ids.push_back(Client().CreateFolder(name));
    EXPECT_EQ(ids, (std::vector<std::string>{"65550", "65551", "65552", "65553", "65554"}));
    std::vector<std::pair<long long, std::string>> folders = FolderNames(Client().Folders());
    ASSERT_EQ(folders.size(), 10u);
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(folders[5 + i].second, names[i]);

    // The create answer carries the new id as 'var':[ID], exactly.
    RawAnswer raw = Client().Call("mbox:createUserFolders",
                                  "<?xml version=\"1.0\"?><object><array name=\"items\"><object><string "
                                  "name=\"name\">more</string></object></array></object>\r\n");
    EXPECT_EQ(raw.body, "{'code':'S_OK','var':[65555]}");

    RawAnswer renamed = Client().Call("mbox:updateFolders", RenameBody("65550", XmlEscape("R&D <2027> 'x' \\")));
    EXPECT_EQ(WebmailClient::CodeOf(renamed), "S_OK");
    EXPECT_EQ(FolderNames(Client().Folders())[5].second, "R&D <2027> 'x' \\");

    EXPECT_EQ(WebmailClient::CodeOf(Client().Call("mbox:deleteFolders", DeleteBody("65551"))), "S_OK");
    folders = FolderNames(Client().Folders());
    EXPECT_EQ(folders.size(), 10u);
    for (const auto& folder : folders) EXPECT_NE(folder.first, 65551);
    // Ids are never given out twice.
    EXPECT_EQ(Client().CreateFolder("again"), "65556");
}

TEST_F(FolderFunctions, RefusalsChangeNothing) {
    ASSERT_EQ(Client().CreateFolder("mine"), "65550");
    const std::string before = Client().Call("mbox:getAllFolders", "<object/>").body;
    const std::string goodSid = Client().Sid();
    struct Case {
        const char* what;
        std::string request;
        const char* code;
    } cases[] = {
        {"rename a system folder",
         Client().FunctionRequest("mbox:updateFolders", RenameBody("1", "x"), goodSid, Client().CookieLine()),
         "FA_FORBIDDEN"},
        {"delete a system folder",
         Client().FunctionRequest("mbox:deleteFolders", DeleteBody("3"), goodSid, Client().CookieLine()),
         "FA_FORBIDDEN"},
        {"rename an unknown folder",
         Client().FunctionRequest("mbox:updateFolders", RenameBody("70000", "x"), goodSid, Client().CookieLine()),
         "FA_FOLDER_NOT_FOUND"},
        {"delete an unknown folder",
         Client().FunctionRequest("mbox:deleteFolders", DeleteBody("70000"), goodSid, Client().CookieLine()),
         "FA_FOLDER_NOT_FOUND"},
        {"rename to a taken name",
         Client().FunctionRequest("mbox:updateFolders", RenameBody("65550", "收件箱"), goodSid, Client().CookieLine()),
         "FA_NAME_EXISTS"},
        {"create a taken name",
         Client().FunctionRequest(
             "mbox:createUserFolders",
             "<object><array name=\"items\"><object><string name=\"name\">mine</string></object></array></object>",
             goodSid, Client().CookieLine()),
         "FA_NAME_EXISTS"},
        {"create an empty name",
         Client().FunctionRequest(
             "mbox:createUserFolders",
             "<object><array name=\"items\"><object><string name=\"name\"></string></object></array></object>", goodSid,
             Client().CookieLine()),
         "FA_INVALID_PARAMETER"},
        {"create a name with a line break",
         Client().FunctionRequest(
             "mbox:createUserFolders",
             "<object><array name=\"items\"><object><string name=\"name\">a&#10;b</string></object></array></object>",
             goodSid, Client().CookieLine()),
         "FA_INVALID_PARAMETER"},
        {"two names, the second taken",
         Client().FunctionRequest(
             "mbox:createUserFolders",
             "<object><array name=\"items\"><object><string name=\"name\">new</string></object><object><string "
             "name=\"name\">mine</string></object></array></object>",
             goodSid, Client().CookieLine()),
         "FA_NAME_EXISTS"},
        {"unescaped ampersand",
         Client().FunctionRequest(
             "mbox:createUserFolders",
             "<object><array name=\"items\"><object><string name=\"name\">R&D</string></object></array></object>",
             goodSid, Client().CookieLine()),
         "FA_PARSE_ERROR"},
        {"cut-off XML",
         Client().FunctionRequest("mbox:deleteFolders",
                                  "<?xml version=\"1.0\"?><object><array name=\"ids\"><int>65550</int>", goodSid,
                                  Client().CookieLine()),
         "FA_PARSE_ERROR"},
        {"empty body", Client().FunctionRequest("mbox:deleteFolders", "", goodSid, Client().CookieLine()),
         "FA_PARSE_ERROR"},
        {"no ids array",
         Client().FunctionRequest("mbox:deleteFolders", "<object><int name=\"id\">65550</int></object>", goodSid,
                                  Client().CookieLine()),
         "FA_INVALID_PARAMETER"},
        {"id that is not a number",
         Client().FunctionRequest("mbox:deleteFolders", DeleteBody("65550x"), goodSid, Client().CookieLine()),
         "FA_INVALID_PARAMETER"},
        {"root is not an object",
         Client().FunctionRequest("mbox:deleteFolders", "<array name=\"ids\"><int>65550</int></array>", goodSid,
                                  Client().CookieLine()),
         "FA_INVALID_PARAMETER"},
        {"wrong sid",
         Client().FunctionRequest("mbox:deleteFolders", DeleteBody("65550"), std::string(32, 'A'),
                                  Client().CookieLine()),
         "FA_INVALID_SESSION"},
        {"no sid", Client().FunctionRequest("mbox:deleteFolders", DeleteBody("65550"), "", Client().CookieLine()),
         "FA_INVALID_SESSION"},
        {"no cookie", Client().FunctionRequest("mbox:deleteFolders", DeleteBody("65550"), goodSid, "X-Nothing: 1"),
         "FA_INVALID_SESSION"},
        {"forged cookie",
         Client().FunctionRequest("mbox:deleteFolders", DeleteBody("65550"), goodSid,
                                  "Cookie: Coremail=" + std::string(14, 'x') + goodSid + ";"),
         "FA_INVALID_SESSION"},
        {"unknown function",
         Client().FunctionRequest("mbox:formatDisk", DeleteBody("65550"), goodSid, Client().CookieLine()),
         "FA_UNKNOWN_FUNCTION"},
    };
    for (const Case& c : cases) {
        RawAnswer answer = Exchange(Client().Port(), c.request);
        EXPECT_EQ(answer.status, 200) << c.what;
        EXPECT_EQ(answer.body, std::string("{'code':'") + c.code + "'}") << c.what;
        EXPECT_EQ(answer.body.find("'var'"), std::string::npos) << c.what;
    }
    EXPECT_EQ(Client().Call("mbox:getAllFolders", "<object/>").body, before);
}

TEST_F(FolderFunctions, AnotherSessionOfTheSameAccountWorksAlongside) {
    WebmailClient second(Client().Port());
    ASSERT_TRUE(second.SignIn(kTestAccount, kTestPassword));
    EXPECT_NE(second.Sid(), Client().Sid());
    ASSERT_EQ(second.CreateFolder("from the second"), "65550");
    EXPECT_EQ(FolderNames(Client().Folders()).back().second, "from the second");
    // A sid with the other session's cookie is refused.
    RawAnswer mixed = Exchange(Client().Port(), Client().FunctionRequest("mbox:getAllFolders", "<object/>",
                                                                         second.Sid(), Client().CookieLine()));
    EXPECT_EQ(WebmailClient::CodeOf(mixed), "FA_INVALID_SESSION");
}

}  // namespace
}  // namespace providertest
