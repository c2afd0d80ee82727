// The Desktop against a real vantlo-provider, over an account with folders
// "甲" (files a.txt, b.txt, c.txt, stored the old way: no manifest) and "乙"
// (empty): the work runs on the
// executor's threads and comes back as tasks that the test runs as the
// user-interface thread would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "desktop_fixture.h"
#include "fault_server.h"
#include "old_form_mail.h"
#include "provider_process.h"
#include "scratch_files.h"
#include "session/cells.h"
#include "session/folders.h"
#include "session/signin.h"
#include "webmail/webmail_store.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::BytesOf;

class DesktopTest : public testsupport::DesktopFixture {
protected:
    void SetUp() override {
        auto session = std::make_unique<session::Session>();
        session->providerOverride = provider_.HostPort();
        ASSERT_EQ(session::SignIn(*session, "desk@163.example", 1, "desk-pass"), session::Status::Ok);
        for (const char* name : {"甲", "乙"})
            ASSERT_EQ(session::CreateUserFolder(*session, name, ids_[name]), session::Status::Ok);
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            std::ofstream(dir_ / name) << name;
            ASSERT_EQ(testsupport::StoreOldFormMail(*session, dir_ / name, ids_["甲"]), session::Status::Ok);
        }
        Make(std::move(session));
    }
    void TearDown() override { DesktopFixture::TearDown(), testsupport::RemoveTree(dir_); }
    void Make(std::unique_ptr<session::Session> session) {
        app::SignedInAccount account;
        account.name = "desk@163.example";
        account.store = std::make_unique<webmail::WebmailStore>(std::move(session), kFastStore);
        DesktopFixture::Make(std::move(account));
        desktop_->Pacing() = app::TransferPacing{kPart, 2};
    }

    static constexpr std::uint64_t kPart = 100000;
    const webmail::WebmailOptions kFastStore{10000, 5, 100, session::kLargestPage};

    testsupport::ProviderProcess provider_{{"desk@163.example:desk-pass"}};
    fs::path dir_ = testsupport::MakeTempDir("vantlo-desktop-");
    std::map<std::string, std::string> ids_;
};

TEST_F(DesktopTest, OpensTheLatestFolderAskedForAndMovesAndDeletesItsRows) {
    Load();
    EXPECT_EQ(screen_.busyChanges, 2) << "busy, then idle";
    EXPECT_EQ(screen_.space.rfind("已用 ", 0), 0u) << screen_.space;
    EXPECT_EQ(screen_.space.find(" 0 字节"), std::string::npos) << "the mailbox's folders hold mails";
    desktop_->OpenFolder("1");
    Open(ids_["甲"]);
    EXPECT_EQ(desktop_->Files().FolderId(), ids_["甲"]) << "the inbox's files came after another folder was asked for";
    EXPECT_EQ(screen_.shownTitles.back().rfind("甲 (3 个文件, ", 0), 0u) << "the total counts files";
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(desktop_->Files().Row(Row("a.txt"))->file.size, 5u) << "a mail of old: its attachment's length";
    EXPECT_EQ(desktop_->CheckDownload({3}), app::DownloadCheck::NoRow);

    desktop_->MoveRows({Row("b.txt")}, ids_["乙"]);
    EXPECT_EQ(screen_.Status(), "正在把 1 个文件移到\"乙\"...");
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == "已将 1 个文件移到\"乙\": b.txt"; }));
    Settle();
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "c.txt"})) << "listed again";
    desktop_->MoveRows({Row("a.txt")}, ids_["乙"]);
    ASSERT_TRUE(RunUntil([&] { return desktop_->Files().Count() == 1; }));
    Open(ids_["乙"]);
    desktop_->DeleteRows({Row("b.txt")});
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == "已将 1 个文件移到已删除: b.txt" && desktop_->Idle(); }))
        << "no waiting text stays once the work ended: " << screen_.Status();
    EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
    Open("4");
    EXPECT_EQ(Names(), std::vector<std::string>{"b.txt"}) << "a deleted file waits in 已删除";

    // The network drive: the views' service maps the desktop's own pool; its
    // name stands beside the used space until it is unmapped.
    struct Drive : app::DriveService {
        bool mapped = false, refuse = false, poolWorks = false;
        bool Map(catalog::StorePool& pool, std::string& drive, std::string& message) override {
            if (refuse) return message = "映射网络驱动器失败: 不行", false;
            std::vector<catalog::FolderInfo> folders;
            poolWorks = pool.Run([&](catalog::MailStore& store) { return store.ListFolders(folders); }).Ok();
            drive = "Y:";
            return mapped = true;
        }
        void Unmap() override { mapped = false; }
    };
    auto drive = std::make_shared<Drive>();
    desktop_->SetDriveService(drive);
    desktop_->MapDrive();
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == "已映射为网络驱动器 Y:"; })) << screen_.Status();
    EXPECT_TRUE(drive->poolWorks);
    EXPECT_EQ(screen_.space.rfind("已用 ", 0), 0u) << screen_.space;
    EXPECT_NE(screen_.space.find("网络驱动器 Y:"), std::string::npos) << screen_.space;
    desktop_->UnmapDrive();
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == "已断开网络驱动器 Y:"; })) << screen_.Status();
    EXPECT_FALSE(drive->mapped);
    EXPECT_EQ(screen_.space.find("网络驱动器"), std::string::npos) << screen_.space;
    drive->refuse = true;
    desktop_->MapDrive();
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == "映射网络驱动器失败: 不行"; })) << screen_.Status();
    EXPECT_EQ(desktop_->DriveName(), "");
}

// Search, properties and emptying, on the folder
// "甲" with a file in parts beside the mails of old.
TEST_F(DesktopTest, SearchPropertiesAndEmptying) {
    Load();
    Open(ids_["甲"]);
    fs::path big = dir_ / "大文件.bin";
    std::ofstream(big, std::ios::binary) << std::string(250000, 'x');
    const std::string spaceBefore = screen_.space;
    desktop_->QueueUploads({big});
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == app::kUploadDoneText; }));
    Settle();
    EXPECT_NE(screen_.space, spaceBefore) << "the uploads count in the used space";
    ASSERT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "大文件.bin"})) << "three parts, one row";
    const app::FileRow row = *desktop_->Files().Row(Row("大文件.bin"));  // a copy: the list is replaced below
    EXPECT_EQ(row.file.present.size(), 3u);
    EXPECT_EQ(row.file.size, 250000u) << "the whole file's size";

    desktop_->Search("文件");
    Settle();
    EXPECT_EQ(Names(), std::vector<std::string>{"大文件.bin"}) << "by part of a name, Chinese included";
    desktop_->Search("");
    Settle();
    EXPECT_EQ(Names().size(), 4u) << "a cleared search shows the folder again";

    desktop_->ShowFileProperties(Row("大文件.bin"));
    ASSERT_TRUE(RunUntil([&] { return !screen_.properties.empty(); }));
    const std::string& text = screen_.properties.back();
    EXPECT_NE(text.find("SHA-256: " + testsupport::Sha256Hex(BytesOf(big))), std::string::npos) << text;
    for (const catalog::FilePart& part : row.file.present) EXPECT_NE(text.find(part.mailId), std::string::npos);
    EXPECT_NE(text.find("尚未下载"), std::string::npos);
    fs::create_directories(dir_ / "out");
    desktop_->QueueDownloads({Row("大文件.bin"), Row("a.txt")}, dir_ / "out" / "ignored-name");
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == app::kAllDoneText; }));
    EXPECT_EQ(BytesOf(dir_ / "out" / "大文件.bin"), BytesOf(big)) << "several: into the folder";
    desktop_->ShowFileProperties(Row("大文件.bin"));
    ASSERT_TRUE(RunUntil([&] { return screen_.properties.size() == 2; }));
    EXPECT_NE(screen_.properties.back().find("已校验"), std::string::npos);

    desktop_->ShowFolderProperties(ids_["甲"]);
    ASSERT_TRUE(RunUntil([&] { return screen_.properties.size() == 3; }));
    EXPECT_NE(screen_.properties.back().find("文件数: 4\r\n总大小: 250015 字节"), std::string::npos)
        << screen_.properties.back();
    desktop_->AskEmptyFolder(ids_["甲"]);
    ASSERT_TRUE(RunUntil([&] { return !screen_.emptyAsked.empty(); }));
    const app::EmptyFolderRequest asked = screen_.emptyAsked.back();
    EXPECT_EQ(asked.files, 4u);
    EXPECT_EQ(asked.mailIds.size(), 6u) << "every part";
    desktop_->EmptyFolder(asked);
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == "已将 \"甲\" 中的 4 个文件移到已删除"; }))
        << screen_.Status();
    Settle();
    EXPECT_EQ(desktop_->Files().Count(), 0u);
    Open("4");
    EXPECT_EQ(Names().size(), 4u) << "all of them in 已删除";
    // The trash itself: no store destroys a mail, so nothing is asked or claimed.
    desktop_->AskEmptyFolder("4");
    ASSERT_TRUE(RunUntil([&] { return screen_.Status().find("4 个文件没有删除") != std::string::npos; }))
        << screen_.Status();
    app::EmptyFolderRequest trash = asked;
    trash.folderId = "4";
    desktop_->EmptyFolder(trash);
    Settle();
    EXPECT_NE(screen_.Status().find("没有删除"), std::string::npos) << screen_.Status();
    EXPECT_EQ(screen_.emptyAsked.size(), 1u);
    EXPECT_EQ(Names().size(), 4u);
}

TEST_F(DesktopTest, FolderCommandsTellTheTreeWhatToShow) {
    desktop_->CreateFolder("", "新文件夹");
    ASSERT_TRUE(RunUntil([&] { return !screen_.created.empty(); }));
    std::string id = std::to_string(screen_.created[0]);
    desktop_->CreateFolder(id, "子");
    ASSERT_TRUE(RunUntil([&] { return screen_.created.size() == 2; })) << screen_.Status();
    desktop_->RenameFolder(id, "改名后");
    ASSERT_TRUE(RunUntil([&] { return screen_.stale == 1; })) << "a new tree after the rename";
    Load();
    EXPECT_EQ(screen_.Id("改名后"), id);
    ASSERT_TRUE(screen_.Named("子"));
    EXPECT_EQ(screen_.Named("子")->parentId, id) << "made in the folder given";
    // Deleting asks with what is below; what was counted goes, leaves first.
    Open(std::to_string(screen_.created[1]));
    desktop_->AskDeleteFolder(id);
    ASSERT_TRUE(RunUntil([&] { return !screen_.deleteAsked.empty(); })) << screen_.Status();
    const app::DeleteFolderRequest asked = screen_.deleteAsked[0];
    EXPECT_EQ(asked.name, "改名后");
    EXPECT_EQ(asked.tree.dirIds, std::vector<std::string>{std::to_string(screen_.created[1])});
    desktop_->DeleteFolder(asked);
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == app::FolderDeletedText("改名后", 1, 0); }))
        << screen_.Status();
    Load();
    EXPECT_EQ(screen_.Id("改名后"), "");
    EXPECT_EQ(screen_.Id("子"), "");
    EXPECT_EQ(desktop_->OpenFolderId(), "") << "the open folder went with it";
    desktop_->DeleteFolder(asked);  // again: the folders are gone
    ASSERT_TRUE(RunUntil([&] { return screen_.Status().rfind("删除文件夹失败: 文件或文件夹已不在服务器上", 0) == 0; }))
        << screen_.Status();
    Settle();
    int stale = screen_.stale;
    for (int tick = 1; tick <= 10; ++tick) desktop_->OnRefreshTick();
    EXPECT_EQ(screen_.stale, stale + 1) << "at the tenth tick of the refresh timer";
}

TEST_F(DesktopTest, QueuedFilesGoToTheFolderOpenWhenQueuedAndAFailureLetsTheRestGoOn) {
    Open(ids_["乙"]);
    std::vector<fs::path> files;
    for (const char* name : {"one.bin", "two.bin"}) {
        files.push_back(dir_ / name);
        std::ofstream(files.back(), std::ios::binary) << std::string(120000, name[0]) << "end";
    }
    desktop_->QueueUploads({files[0], dir_ / "missing.bin"});
    desktop_->QueueUploads({files[1]});  // joins the running queue
    EXPECT_TRUE(desktop_->Transferring());
    desktop_->OpenFolder("1");  // the queued items keep their target
    ASSERT_TRUE(RunUntil([&] { return !desktop_->Transferring() && !clock_.running; }));
    EXPECT_NE(screen_.Status().find("上传失败: missing.bin"), std::string::npos) << screen_.Status();
    EXPECT_NE(std::find_if(screen_.progress.begin(), screen_.progress.end(),
                           [](const std::string& s) { return s.rfind("上传 3/3: two.bin ", 0) == 0; }),
              screen_.progress.end())
        << "the queue showed where it was";
    Open(ids_["乙"]);
    EXPECT_EQ(Names(), (std::vector<std::string>{"one.bin", "two.bin"}));
    desktop_->DownloadMail(Row("one.bin"), dir_ / "one.eml");
    ASSERT_TRUE(RunUntil([&] { return fs::exists(dir_ / "one.part2.eml"); }));
    EXPECT_NE(BytesOf(dir_ / "one.part1.eml").find("\r\n\r\nvantlo-file: 1\n"), std::string::npos)
        << "the whole mail, its manifest too";
}

// A folder dropped again adds to the one it made, and its taken names are
// asked about as a dropped file's are: a file the same as the one stored is
// not stored twice, a changed one replaces it.
TEST_F(DesktopTest, AFolderDroppedAgainAsksAboutItsTakenNames) {
    const fs::path tree = dir_ / fs::u8path("树"), changed = tree / "sub" / "changed.txt";
    fs::create_directories(changed.parent_path());
    std::ofstream(tree / "same.txt") << "same";
    std::ofstream(changed) << "old";
    Open(ids_["乙"]);
    std::vector<std::string> asked;
    auto overwrite = [&](const std::string& name) {
        asked.push_back(name);
        return app::ConflictAnswer{app::ConflictChoice::Overwrite, false};
    };
    desktop_->QueueUploads({tree}, overwrite);
    Settle();
    std::ofstream(changed) << "newer";
    desktop_->QueueUploads({tree}, overwrite);
    Settle();
    EXPECT_EQ(asked, (std::vector<std::string>{"same.txt", "changed.txt"}));
    Load();
    Open(screen_.Id("sub"));
    ASSERT_EQ(Names(), std::vector<std::string>{"changed.txt"}) << "the old one went to the trash";
    EXPECT_EQ(desktop_->Files().Row(0)->file.size, 5u) << "the new bytes stay";
    Open(screen_.Id("树"));
    EXPECT_EQ(Names(), std::vector<std::string>{"same.txt"}) << "stored once";
    Open(ids_["乙"]);
    desktop_->QueueUploads({tree},
                           [](const std::string&) { return app::ConflictAnswer{app::ConflictChoice::CancelAll}; });
    Settle();
    EXPECT_EQ(screen_.Status(), app::kUploadCancelledText) << "one cancel for the whole tree";
}

TEST_F(DesktopTest, AnUnreachableProviderGetsTheErrorBoxAndAFailureText) {
    auto away = std::make_unique<session::Session>();
    session::SetCell(away->host, "127.0.0.1:" + std::to_string(testsupport::FaultServer().Port()));
    Make(std::move(away));
    desktop_->CreateFolder("", "新文件夹");
    desktop_->AskDeleteFolder("65550");
    Settle();
    EXPECT_EQ(screen_.errors, (std::vector<std::string>{app::kUnreachableText, app::kUnreachableText}));
    EXPECT_TRUE(screen_.created.empty()) << "nothing was made";
    EXPECT_EQ(screen_.Status().rfind("删除文件夹失败: 无法连接服务器", 0), 0u) << screen_.Status();
}

}  // namespace

// A vault made here is open for the run: its files go in sealed and come
// back by their own names; a move across its edge is refused. The next run
// finds it shut and empty until its passphrase is given.
TEST_F(DesktopTest, AVaultSealsWhatGoesInAndOpensWithItsPassphrase) {
    Load();
    desktop_->CreateVault("", "保险箱", "秘密 pass");
    ASSERT_TRUE(RunUntil([&, stale = screen_.stale] { return screen_.stale > stale && desktop_->Idle(); }));
    Load();
    const std::string vaultId = screen_.Id("保险箱");
    ASSERT_EQ(desktop_->FolderVault(vaultId), app::VaultState::Open) << screen_.Status();
    EXPECT_EQ(desktop_->FolderVault(ids_["甲"]), app::VaultState::None);
    Open(vaultId);
    EXPECT_TRUE(Names().empty()) << "the vault file is not shown";
    const fs::path file = dir_ / "报告 2026.txt", back = dir_ / "back.txt";
    std::ofstream(file) << std::string(250000, 'v');
    desktop_->QueueUploads({file});
    ASSERT_TRUE(RunUntil([&] { return !desktop_->Transferring() && !clock_.running && desktop_->Idle(); }));
    ASSERT_EQ(Names(), (std::vector<std::string>{"报告 2026.txt"})) << screen_.Status();
    EXPECT_EQ(desktop_->Files().Row(0)->file.size, 250000u) << "the plain size";
    desktop_->Search("2026");  // no sealed name holds a 0
    Settle();
    EXPECT_EQ(Names(), (std::vector<std::string>{"报告 2026.txt"})) << "a search by the files' own names";
    desktop_->ShowFileProperties(0);
    Settle();
    ASSERT_FALSE(screen_.properties.empty());
    EXPECT_EQ(screen_.properties.back().rfind("名称: 报告 2026.txt\r\n大小: 250000 字节", 0), 0u)
        << screen_.properties.back();
    desktop_->QueueDownloads({0}, back);
    ASSERT_TRUE(RunUntil([&] { return !desktop_->Transferring() && !clock_.running; }));
    EXPECT_EQ(BytesOf(back), BytesOf(file));
    EXPECT_TRUE(desktop_->Fetcher()(desktop_->Files().Row(0)->file.key, dir_ / "dragged.txt").Ok());
    EXPECT_EQ(BytesOf(dir_ / "dragged.txt"), BytesOf(file)) << "dragged out to Explorer: opened too";
    desktop_->MoveRows({0}, ids_["甲"]);
    EXPECT_EQ(screen_.Status(), app::kVaultMoveRefusedText);
    desktop_->QueueUploads({dir_});
    EXPECT_EQ(screen_.Status(), app::kVaultFolderRefusedText) << "a folder's name would show";

    auto session = std::make_unique<session::Session>();
    session->providerOverride = provider_.HostPort();
    ASSERT_EQ(session::SignIn(*session, "desk@163.example", 1, "desk-pass"), session::Status::Ok);
    Make(std::move(session));
    Load();
    EXPECT_EQ(desktop_->FolderVault(vaultId), app::VaultState::Locked);
    Open(vaultId);
    EXPECT_TRUE(Names().empty());
    desktop_->QueueUploads({file});
    EXPECT_EQ(screen_.Status(), app::kVaultLockedText);
    for (const char* passphrase : {"wrong", "秘密 pass"}) {
        desktop_->UnlockVault(vaultId, passphrase);
        Settle();
    }
    EXPECT_EQ(screen_.vaultAsked, (std::vector<bool>{false, true})) << "asked on opening, then after the wrong one";
    EXPECT_EQ(Names(), (std::vector<std::string>{"报告 2026.txt"}));
    desktop_->DeleteRows({0});
    desktop_->AskEmptyFolder(vaultId);
    Settle();
    EXPECT_TRUE(Names().empty());
    ASSERT_EQ(screen_.emptyAsked.size(), 1u);
    EXPECT_TRUE(screen_.emptyAsked[0].mailIds.empty()) << "emptying a vault leaves its vault file";
}
