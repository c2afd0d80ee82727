// State under --data outlives the process; a second provider cannot take
// the same directory at the same time; damage stops the start.
#include <filesystem>
#include <fstream>

#include "../catalog/scratch_files.h"
#include "session/cells.h"
#include "session/folders.h"
#include "session/message_moves.h"
#include "session/message_queries.h"
#include "session/upload.h"
#include "signed_in_provider.h"

namespace providertest {
namespace {

using session::Status;
using testsupport::Sha256Hex;

const std::string kAccount = std::string(kTestAccount) + ":" + kTestPassword;

TEST(Persistence, ARestartWithTheSameDataKeepsEverything) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-keep-");
    const std::string bytes = std::string("kept\0bytes", 10) + std::string(100000, 'k');
    std::string fileId, folderId, innerId;
    session::Session s;
    {
        testsupport::ProviderProcess first({kAccount}, {}, data);
        ASSERT_EQ(SignInTo(s, first, kTestAccount, kTestPassword), Status::Ok);
        ASSERT_EQ(session::CreateUserFolder(s, "保留 & kept", folderId), Status::Ok);
        ASSERT_EQ(session::CreateUserFolder(s, "inner", innerId, folderId), Status::Ok);
        fileId = StoreFile(s, &bytes, "kept.bin", "manifest:\nline", "kept.bin.001");
        ASSERT_EQ(session::MoveMessages(s, {fileId}, folderId), Status::Ok);
        ASSERT_EQ(Upload(s, "pending"), Status::Ok);  // not delivered yet
    }
    testsupport::ProviderProcess second({kAccount}, {}, data);
    session::SetCell(s.host, second.HostPort());  // the session too is kept
    const std::vector<session::FolderRow> folders = Folders(s);
    EXPECT_EQ(FolderById(folders, folderId)->name, std::string("保留 & kept"));
    EXPECT_EQ(FolderById(folders, innerId)->parent, folderId);  // the tree too
    EXPECT_EQ(Ids(List(s, folderId)), std::vector<std::string>{fileId});
    EXPECT_TRUE(Fetch(s, fileId) == bytes);
    const session::MessageContent read = Read(s, fileId);
    EXPECT_EQ(read.text + "|" + read.attachments.at(0).filename, "manifest:\nline|kept.bin.001");
    // The compose session and its upload survived as well; ids go on where they stopped.
    EXPECT_EQ(session::DeliverFile(s, "pending.txt", "", "pending.txt", 7), Status::Ok);
    EXPECT_EQ(Fetch(s, Ids(List(s, "1")).at(0)), "pending");
    std::string next;
    EXPECT_EQ(session::CreateUserFolder(s, "next", next), Status::Ok);
    EXPECT_EQ(next, "65552");
    second.Stop();
    testsupport::RemoveTree(data);
}

TEST(Persistence, TheDemoAccountIsFilledOnceWithPagesAndAFileInParts) {
    const std::string data = testsupport::MakeTempDir("vantlo-provider-demo-");
    for (int run = 0; run < 2; ++run) {
        testsupport::ProviderProcess provider({}, {"--seed-folder", "demo-seed:3"}, data);
        session::Session s;
        ASSERT_EQ(SignInTo(s, provider, "demo@163.example", "vantlo-demo"), Status::Ok);
        const std::vector<session::FolderRow> folders = Folders(s);
        ASSERT_EQ(folders.size(), 9u) << run;
        EXPECT_EQ(FolderById(folders, "65551")->messageCount, std::string("301")) << run;  // 照片
        EXPECT_EQ(FolderById(folders, "65553")->messageCount, std::string("3")) << run;    // seeded once only
        // A page holds 200 at most, whatever is asked; its total counts them all.
        const session::MessagePage photos = List(s, "65551", 0, 500);
        EXPECT_TRUE(photos.messages.size() == 200 && photos.hasTotal && photos.total == 301) << run;
        // A seeded file carries its manifest, and its bytes match it.
        const std::string seeded = List(s, "65553").messages.at(2).id, seedManifest = Read(s, seeded).text;
        EXPECT_EQ(seedManifest.rfind("vantlo-file: 1\nname: file-00001.bin\nsize: ", 0), 0u) << seedManifest;
        EXPECT_NE(seedManifest.find("\nsha256: " + Sha256Hex(Fetch(s, seeded)) + "\n"), std::string::npos);
        session::MessagePage parts;
        ASSERT_EQ(session::SearchMessagePage(s, "手册.txt [part", {}, 0, 50, parts), Status::Ok);
        ASSERT_EQ(parts.messages.size(), 3u);
        const std::string subject = parts.messages[2].subject;
        EXPECT_EQ(subject.substr(0, subject.size() - 9), "Vantlo 手册.txt [part 1 of 3 #") << subject;
        // The parts together are the file the manifest names.
        std::string whole;
        for (int k = 2; k >= 0; --k) whole += Fetch(s, parts.messages[k].id);
        const std::string manifest = Read(s, parts.messages[2].id).text;
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
