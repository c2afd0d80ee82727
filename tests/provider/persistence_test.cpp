// State under --data outlives the process; a second provider cannot take
// the same directory at the same time; damage stops the start.
#include <filesystem>
#include <fstream>

#include "signed_in_provider.h"

namespace providertest {
namespace {

const std::string kAccount = std::string(kTestAccount) + ":" + kTestPassword;

TEST(Persistence, ARestartWithTheSameDataKeepsEverything) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-keep-");
    const std::string bytes = std::string("kept\0bytes", 10) + std::string(100000, 'k');
    std::string fileId, composeId;
    WebmailClient client(0);
    {
        testsupport::ProviderProcess first({kAccount}, {}, data);
        client.MoveTo(first.Port());
        ASSERT_TRUE(client.SignIn(kTestAccount, kTestPassword));
        ASSERT_EQ(client.CreateFolder("保留 & kept"), "65550");
        ASSERT_EQ(
            WebmailClient::CodeOf(client.Call("mbox:createUserFolders",
                                              "<object><array name=\"items\"><object><string name=\"name\">inner"
                                              "</string><int name=\"parent\">65550</int></object></array></object>")),
            "S_OK");
        fileId = client.StoreFile(&bytes, "kept.bin", "manifest:\nline", "kept.bin.001");
        ASSERT_EQ(WebmailClient::CodeOf(client.Move({fileId}, 65550)), "S_OK");
        composeId = client.OpenCompose();
        ASSERT_EQ(WebmailClient::CodeOf(client.Upload(composeId, "pending")), "S_OK");
    }
    testsupport::ProviderProcess second({kAccount}, {}, data);
    client.MoveTo(second.Port());  // the session too is kept
    EXPECT_EQ(FolderById(client.Folders(), 65550)->Get("name")->text, "保留 & kept");
    EXPECT_EQ(Counter(*FolderById(client.Folders(), 65551), "parent"), 65550);  // the tree too
    EXPECT_EQ(MessageIds(client.List(65550)), std::vector<std::string>{fileId});
    EXPECT_TRUE(client.Download(fileId).body == bytes);
    const ScriptValue read = client.Read(fileId);
    EXPECT_EQ(read.Get("text")->Text("content") + "|" + read.Get("attachments")->items.at(0).Text("filename"),
              "manifest:\nline|kept.bin.001");
    // The compose session and its upload survived as well; ids go on where they stopped.
    EXPECT_EQ(WebmailClient::CodeOf(client.Deliver(composeId, "pending.txt")), "S_OK");
    EXPECT_EQ(client.Download(MessageIds(client.List(1)).at(0)).body, "pending");
    EXPECT_EQ(client.CreateFolder("next"), "65552");
    second.Stop();
    testsupport::RemoveTree(data);
}

TEST(Persistence, TheDemoAccountIsFilledOnceWithPagesAndAFileInParts) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-demo-");
    for (int run = 0; run < 2; ++run) {
        testsupport::ProviderProcess provider({}, {"--seed-folder", "demo-seed:3"}, data);
        WebmailClient client(provider.Port());
        ASSERT_TRUE(client.SignIn("demo@163.example", "vantlo-demo"));
        const ScriptValue folders = client.Folders();
        ASSERT_EQ(folders.Get("var")->items.size(), 9u) << run;
        EXPECT_EQ(Counter(*FolderById(folders, 65551), "messageCount"), 301) << run;  // 照片
        EXPECT_EQ(Counter(*FolderById(folders, 65553), "messageCount"), 3) << run;    // seeded once only
        const ScriptValue parts =
            client.CallScript("mbox:searchMessages",
                              "<object><array name=\"conditions\"><object><string name=\"field\">subject</string>"
                              "<string name=\"operator\">contains</string><string name=\"operand\">手册.txt [part"
                              "</string></object></array><boolean name=\"returnTotal\">true</boolean></object>");
        ASSERT_EQ(parts.Get("total")->number, 3);
        const std::string subject = parts.Get("var")->items[2].Text("subject"),
                          id = parts.Get("var")->items[2].Text("id");
        EXPECT_EQ(subject.substr(0, subject.size() - 9), "Vantlo 手册.txt [part 1 of 3 #") << subject;
        // The parts together are the file the manifest names.
        std::string whole;
        for (int k = 2; k >= 0; --k) whole += client.Download(parts.Get("var")->items[k].Text("id")).body;
        const std::string manifest = client.Read(id).Get("text")->Text("content");
        EXPECT_NE(manifest.find("\nsize: " + std::to_string(whole.size()) + "\nsha256: " + Sha256Hex(whole) + "\n"),
                  std::string::npos)
            << manifest;
    }
    testsupport::RemoveTree(data);
}

TEST(Persistence, LockedDamagedOrLeftOverDataIsHandledAtStart) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-start-");
    const std::string dir = data + "/accounts/a@163.example";
    {
        testsupport::ProviderProcess first({"a@163.example:x"}, {}, data);
        ASSERT_TRUE(first.Running());
        EXPECT_FALSE(testsupport::ProviderProcess({"a@163.example:x"}, {}, data).Running());  // the lock
    }
    for (const std::string& stray : {dir + "/attachments/1tbi0000000042orphan", dir + "/compose/gone.upload",
                                     dir + "/compose/x.upload.abc.part", dir + "/index.txt.tmp-abcdefgh"})
        std::ofstream(stray).put('x');
    {
        testsupport::ProviderProcess second({"a@163.example:x"}, {}, data);
        ASSERT_TRUE(second.Running());
        EXPECT_TRUE(std::filesystem::is_empty(dir + "/attachments") && std::filesystem::is_empty(dir + "/compose"));
        EXPECT_FALSE(std::filesystem::exists(dir + "/index.txt.tmp-abcdefgh"));
    }
    std::ofstream(dir + "/index.txt", std::ios::app) << "message\tbroken\n";
    EXPECT_FALSE(testsupport::ProviderProcess({"a@163.example:x"}, {}, data).Running());
    testsupport::RemoveTree(data);
}

}  // namespace
}  // namespace providertest
