// State under --data outlives the process; a second provider cannot take
// the same directory at the same time.
#include <filesystem>

#include "signed_in_provider.h"

namespace providertest {
namespace {

TEST(Persistence, ARestartWithTheSameDataKeepsEverything) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-keep-");
    const std::string account = std::string(kTestAccount) + ":" + kTestPassword;
    std::string fileId, folderId, composeId, sid, cookieLine, host;
    const std::string bytes = std::string("kept\0bytes", 10) + std::string(100000, 'k');
    {
        testsupport::ProviderProcess first({account}, {}, data);
        ASSERT_TRUE(first.Running());
        WebmailClient client(first.Port());
        ASSERT_TRUE(client.SignIn(kTestAccount, kTestPassword));
        folderId = client.CreateFolder("保留 & kept");
        fileId = client.StoreFile(bytes, "kept.bin");
        ASSERT_EQ(WebmailClient::CodeOf(client.Move({fileId}, std::stoll(folderId))), "S_OK");
        composeId = client.OpenCompose();
        ASSERT_EQ(WebmailClient::CodeOf(client.Upload(composeId, "pending")), "S_OK");
        sid = client.Sid();
        cookieLine = client.CookieLine();
    }
    testsupport::ProviderProcess second({account}, {}, data);
    ASSERT_TRUE(second.Running());
    // The old session still holds: its sid and cookie are on disk too.
    WebmailClient old(second.Port());
    RawAnswer folders =
        Exchange(second.Port(), old.FunctionRequest("mbox:getAllFolders", "<object/>", sid, cookieLine));
    EXPECT_NE(folders.body.find("'name':'保留 & kept'"), std::string::npos) << folders.body;

    WebmailClient client(second.Port());
    ASSERT_TRUE(client.SignIn(kTestAccount, kTestPassword));
    EXPECT_EQ(MessageIds(client.List(std::stoll(folderId))), std::vector<std::string>{fileId});
    EXPECT_TRUE(client.Download(fileId).body == bytes);
    // The compose session and its upload survived as well.
    EXPECT_EQ(WebmailClient::CodeOf(client.Deliver(composeId, "pending.txt", 7)), "S_OK");
    EXPECT_EQ(client.Download(MessageIds(client.List(1)).at(0)).body, "pending");
    // Ids go on where they stopped.
    EXPECT_EQ(client.CreateFolder("next"), std::to_string(std::stoll(folderId) + 1));
    second.Stop();
    testsupport::RemoveTree(data);
}

TEST(Persistence, TheDemoAccountIsFilledOnceAndAPasswordCanChange) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-demo-");
    std::size_t demoMessages = 0;
    {
        testsupport::ProviderProcess first({}, {}, data);
        ASSERT_TRUE(first.Running());
        WebmailClient client(first.Port());
        ASSERT_TRUE(client.SignIn("demo@163.example", "vantlo-demo"));
        ScriptValue folders = client.Folders();
        ASSERT_GE(folders.Get("var")->items.size(), 8u);
        for (const ScriptValue& folder : folders.Get("var")->items) demoMessages += Counter(folder, "messageCount");
        EXPECT_GE(demoMessages, 5u);
    }
    {
        testsupport::ProviderProcess again({}, {}, data);
        WebmailClient client(again.Port());
        ASSERT_TRUE(client.SignIn("demo@163.example", "vantlo-demo"));
        std::size_t messages = 0;
        const ScriptValue folders = client.Folders();
        ASSERT_NE(folders.Get("var"), nullptr);
        for (const ScriptValue& folder : folders.Get("var")->items) messages += Counter(folder, "messageCount");
        EXPECT_EQ(messages, demoMessages);
    }
    testsupport::ProviderProcess changed({"demo@163.example:new-password"}, {}, data);
    EXPECT_FALSE(WebmailClient(changed.Port()).SignIn("demo@163.example", "vantlo-demo"));
    EXPECT_TRUE(WebmailClient(changed.Port()).SignIn("demo@163.example", "new-password"));
    changed.Stop();
    testsupport::RemoveTree(data);
}

TEST(Persistence, ASecondProviderOnTheSameDataIsRefused) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-lock-");
    testsupport::ProviderProcess first({"a@163.example:x"}, {}, data);
    ASSERT_TRUE(first.Running());
    testsupport::ProviderProcess second({"a@163.example:x"}, {}, data);
    EXPECT_FALSE(second.Running());
    WebmailClient client(first.Port());
    EXPECT_TRUE(client.SignIn("a@163.example", "x"));
    first.Stop();
    second.Stop();
    testsupport::RemoveTree(data);
}

TEST(Persistence, ADamagedIndexStopsTheStartInsteadOfLosingData) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-damaged-");
    { testsupport::ProviderProcess first({"a@163.example:x"}, {}, data); }
    {
        std::FILE* index = std::fopen((data + "/accounts/a@163.example/index.txt").c_str(), "a");
        ASSERT_NE(index, nullptr);
        std::fputs("message\tbroken\n", index);
        std::fclose(index);
    }
    testsupport::ProviderProcess second({"a@163.example:x"}, {}, data);
    EXPECT_FALSE(second.Running());
    second.Stop();
    testsupport::RemoveTree(data);
}

TEST(Persistence, LeftoversOfAnInterruptedChangeAreSweptAtStart) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-sweep-");
    const std::string dir = data + "/accounts/a@163.example";
    { testsupport::ProviderProcess first({"a@163.example:x"}, {}, data); }
    for (const std::string& stray : {dir + "/attachments/1tbi0000000042orphan", dir + "/compose/gone.upload",
                                     dir + "/compose/x.upload.abc.part", dir + "/index.txt.tmp-abcdefgh"}) {
        std::FILE* file = std::fopen(stray.c_str(), "w");
        ASSERT_NE(file, nullptr) << stray;
        std::fclose(file);
    }
    testsupport::ProviderProcess second({"a@163.example:x"}, {}, data);
    ASSERT_TRUE(second.Running());
    EXPECT_TRUE(std::filesystem::is_empty(dir + "/attachments"));
    EXPECT_TRUE(std::filesystem::is_empty(dir + "/compose"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/index.txt.tmp-abcdefgh"));
    second.Stop();
    testsupport::RemoveTree(data);
}

}  // namespace
}  // namespace providertest
