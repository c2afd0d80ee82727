// The desktop over an IMAP account of the Dovecot that
// tests/imap/dovecot_fixture.py runs (skipped without it): the account box's
// text signs in, folders named by their names are numbered for the tree,
// and files go up, come back and go to the trash as over webmail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "desktop_fixture.h"
#include "dovecot_env.h"
#include "provider_process.h"

namespace {

namespace fs = std::filesystem;

using testsupport::BytesOf;
using testsupport::Env;

class DesktopImap : public testsupport::DesktopFixture {
protected:
    void SetUp() override {
        if (Env("VANTLO_DOVECOT").empty()) GTEST_SKIP() << "run under tests/imap/dovecot_fixture.py";
        setenv("VANTLO_CA_FILE", (Env("VANTLO_DOVECOT") + "/ca.pem").c_str(), 1);
        app::SignedInAccount account;
        const std::string typed =
            "imaps://" + Env("VANTLO_DOVECOT_USER") + "@127.0.0.1:" + testsupport::DovecotPort("imaps");
        EXPECT_FALSE(app::OpenAccount(typed, "wrong", "", account).Ok()) << "a wrong password is refused";
        catalog::Outcome opened = app::OpenAccount(typed, Env("VANTLO_DOVECOT_PASSWORD"), "", account);
        unsetenv("VANTLO_CA_FILE");
        ASSERT_TRUE(opened.Ok()) << opened.Text();
        EXPECT_EQ(account.kind, app::AccountKind::Imap);
        Make(std::move(account));
        desktop_->Pacing() = app::TransferPacing{4096, 2};
    }
    void TearDown() override { DesktopFixture::TearDown(), testsupport::RemoveTree(dir_); }

    fs::path dir_ = testsupport::MakeTempDir("vantlo-desktop-imap-");
};

TEST_F(DesktopImap, FoldersFilesAndTheTrashThroughTheDesktop) {
    Load();
    EXPECT_EQ(screen_.Id("INBOX"), "1") << "the inbox is folder 1 to the tree";
    desktop_->CreateFolder("", "桌面-甲");
    ASSERT_TRUE(RunUntil([&] { return !screen_.created.empty(); })) << screen_.Status();
    const std::string folder = std::to_string(screen_.created.back());
    EXPECT_GE(screen_.created.back(), 65550u) << "an own folder: it can be renamed and deleted";
    Load();
    EXPECT_EQ(screen_.Id("桌面-甲"), folder) << "the same number when listed";

    Open(folder);
    const std::string bytes = testsupport::NoiseBytes(10000, 1);
    std::ofstream(dir_ / "三段.bin", std::ios::binary) << bytes;
    desktop_->QueueUploads({dir_ / "三段.bin"});
    ASSERT_TRUE(RunUntil([&] { return !desktop_->Transferring(); }));
    ASSERT_EQ(screen_.Status(), app::kUploadDoneText);
    Settle();
    ASSERT_EQ(Names(), std::vector<std::string>{"三段.bin"}) << "the lane's connection sees what another appended";
    EXPECT_EQ(desktop_->Files().Row(0)->file.parts, 3u);

    desktop_->QueueDownloads({0}, dir_ / "back.bin");
    ASSERT_TRUE(RunUntil([&] { return !desktop_->Transferring(); }));
    EXPECT_EQ(BytesOf(dir_ / "back.bin"), bytes);

    desktop_->DeleteRows({0});
    // The list follows the status line: wait for both.
    EXPECT_TRUE(RunUntil([&] { return screen_.Status().rfind("已将 1 个文件移到已删除", 0) == 0 && Names().empty(); }))
        << screen_.Status();
    Load();
    ASSERT_FALSE(screen_.Id("Trash").empty());
    Open(screen_.Id("Trash"));
    EXPECT_EQ(Names(), std::vector<std::string>{"三段.bin"}) << "in the trash, every part";
    desktop_->AskDeleteFolder(folder);
    ASSERT_TRUE(RunUntil([&] { return !screen_.deleteAsked.empty(); })) << screen_.Status();
    desktop_->DeleteFolder(screen_.deleteAsked[0]);
    Settle();
    Load();
    EXPECT_EQ(screen_.Id("桌面-甲"), "");
}

}  // namespace
