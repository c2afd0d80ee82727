// The desktop's transfers over an in-memory mailbox that goes away after a
// number of parts: the next transfer of the same file moves only what the
// interrupted one had not, and the folder shows one whole file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include "desktop_fixture.h"
#include "memory_store.h"
#include "provider_process.h"

namespace {

namespace fs = std::filesystem;
using catalog::Outcome;
using Text = const std::string&;
using Ids = const std::vector<std::string>&;
using testsupport::BytesOf;

// One mailbox for every thread of the desktop: each call under one lock.
struct Mailbox {
    std::mutex lock;
    testsupport::MemoryStore store;
    // Calls of one kind: how many more go through before the mailbox goes
    // away (-1: never), and how many went through.
    struct Calls {
        int left = -1, made = 0;
    } stores, fetches, listings;
    int forks = 0;
};

class SharedStore : public catalog::MailStore {
public:
    explicit SharedStore(std::shared_ptr<Mailbox> box) : box_(std::move(box)) {}
    Outcome ListFolders(std::vector<catalog::FolderInfo>& f) override { return Locked(&MailStore::ListFolders, f); }
    Outcome CreateFolder(Text p, Text n, std::string& id) override {
        return Locked(&MailStore::CreateFolder, p, n, id);
    }
    Outcome MoveFolder(Text id, Text p) override { return Locked(&MailStore::MoveFolder, id, p); }
    Outcome RenameFolder(Text id, Text n) override { return Locked(&MailStore::RenameFolder, id, n); }
    Outcome DeleteFolder(Text id) override { return Locked(&MailStore::DeleteFolder, id); }
    Outcome ListMails(Text f, std::vector<catalog::MailInfo>& m) override {
        return UntilGone(box_->listings, catalog::StoreCode::Broken, &MailStore::ListMails, f, m);
    }
    Outcome SearchMails(Text t, Text f, std::vector<catalog::MailInfo>& m) override {
        return Locked(&MailStore::SearchMails, t, f, m);
    }
    Outcome ReadMailText(Text id, catalog::MailText& m) override { return Locked(&MailStore::ReadMailText, id, m); }
    Outcome StorePart(const catalog::PartUpload& part, std::string& id) override {
        return UntilGone(box_->stores, catalog::StoreCode::Unreachable, &MailStore::StorePart, part, id);
    }
    Outcome FetchAttachment(Text id, const catalog::ByteSink& sink) override {
        return UntilGone(box_->fetches, catalog::StoreCode::Unreachable, &MailStore::FetchAttachment, id, sink);
    }
    Outcome FetchSource(Text id, const catalog::ByteSink& sink, std::uint64_t limit) override {
        return Locked(&MailStore::FetchSource, id, sink, limit);
    }
    Outcome MoveMails(Ids ids, Text f) override { return Locked(&MailStore::MoveMails, ids, f); }
    Outcome DeleteMails(Ids ids) override { return Locked(&MailStore::DeleteMails, ids); }
    Outcome Fork(std::unique_ptr<catalog::MailStore>& fork) override {
        fork = std::make_unique<SharedStore>(box_);
        return ++box_->forks, catalog::Success();
    }
    std::string InboxId() const override { return "1"; }

private:
    template <typename... Params, typename... Args>
    Outcome Locked(Outcome (MailStore::*call)(Params...), Args&&... args) {
        std::lock_guard<std::mutex> guard(box_->lock);
        return (box_->store.*call)(std::forward<Args>(args)...);
    }
    // A call that fails once no more of its kind go through.
    template <typename... Params, typename... Args>
    Outcome UntilGone(Mailbox::Calls& calls, catalog::StoreCode code, Outcome (MailStore::*call)(Params...),
                      Args&&... args) {
        std::lock_guard<std::mutex> guard(box_->lock);
        if (calls.left == 0) return catalog::Failure(code, "gone");
        if (calls.left > 0) --calls.left;
        ++calls.made;
        return (box_->store.*call)(std::forward<Args>(args)...);
    }
    std::shared_ptr<Mailbox> box_;
};

constexpr std::uint64_t kPart = 1000;
constexpr std::uint32_t kParts = 5;
constexpr char kFolder[] = "7";

class DesktopResume : public testsupport::DesktopFixture {
protected:
    void SetUp() override {
        std::string bytes;
        for (std::size_t i = 0; i < kPart * kParts - 7; ++i) bytes.push_back(static_cast<char>('a' + i * 7 % 26));
        std::ofstream(source_, std::ios::binary) << bytes;
        Begin();
    }
    // The program's start over the mailbox, the folder open.
    void Begin() {
        app::SignedInAccount account;
        account.name = "memory";
        account.store = std::make_unique<SharedStore>(box_);
        Make(std::move(account));
        Open(kFolder);
    }
    void TearDown() override { DesktopFixture::TearDown(), testsupport::RemoveTree(dir_); }
    // Runs the queue to its end; the status it ended with.
    std::string Transfer(const std::function<void()>& queue) {
        queue();
        EXPECT_TRUE(RunUntil([&] { return !desktop_->Transferring(); }));
        Settle();
        return screen_.Status();
    }
    void Upload() {
        Transfer([&] { desktop_->QueueUploads({source_}); });
    }

    std::shared_ptr<Mailbox> box_ = std::make_shared<Mailbox>();
    fs::path dir_ = testsupport::MakeTempDir("vantlo-desktop-resume-");
    fs::path source_ = dir_ / "大文件.bin";
};

// Where the mailbox went away (parts it had taken), how many parts moved at
// once, and whether the program then ended and started again over the same
// mailbox, offering the kept row until the user says 继续传输.
struct Cut {
    int partsBefore;
    unsigned transfers;
    bool restart;
};
const Cut kCuts[] = {{2, 1, true}, {0, 1, false}, {2, 1, false}, {4, 1, false}, {3, 3, false}};

TEST_F(DesktopResume, AnUploadCutShortSendsOnlyTheMissingPartsNextTime) {
    const fs::path kept = dir_ / "cache" / "transfers.txt";
    for (const Cut& cut : kCuts) {
        SCOPED_TRACE(std::to_string(cut.partsBefore) + " parts, " + std::to_string(cut.transfers) + " at once" +
                     (cut.restart ? ", restarted" : ""));
        box_->store.mails.clear();
        box_->stores.made = 0;
        desktop_->Pacing() = app::TransferPacing{kPart, cut.transfers};
        if (cut.restart) desktop_->KeepTransfersIn(kept);
        box_->stores.left = cut.partsBefore;
        Upload();
        EXPECT_EQ(screen_.Status().rfind("上传失败: 大文件.bin", 0), 0u) << screen_.Status();
        EXPECT_GE(box_->stores.made, cut.partsBefore);

        box_->stores.left = -1;
        if (cut.restart) {
            ASSERT_TRUE(fs::exists(kept)) << "the failed row is kept for the next run";
            Begin();
            desktop_->Pacing() = app::TransferPacing{kPart, cut.transfers};
            desktop_->KeepTransfersIn(kept);
            ASSERT_EQ(screen_.leftOver, std::vector<std::size_t>{1});
            EXPECT_FALSE(desktop_->Transferring()) << "held until the user says 继续传输";
            Transfer([&] { desktop_->ContinueTransfers(); });
            EXPECT_EQ(screen_.ended.back(), "传输完成: 1 个文件");
            EXPECT_FALSE(fs::exists(kept)) << "nothing left to offer";
        } else {
            Upload();
            EXPECT_EQ(screen_.Status(), app::kUploadDoneText);
        }
        EXPECT_EQ(box_->stores.made, static_cast<int>(kParts)) << "every part stored once over both runs";
        desktop_->ReloadOpenFolder();
        Settle();
        ASSERT_EQ(Names(), std::vector<std::string>{"大文件.bin"}) << "one row: no incomplete copy beside it";
        const catalog::FileEntry& file = desktop_->Files().Row(0)->file;
        EXPECT_TRUE(file.Whole()) << file.Problems();
        EXPECT_EQ(file.parts, kParts);
    }
}

TEST_F(DesktopResume, ACutDownloadFetchesOnlyTheMissingPartsNextTimeAndACutOpeningOpensNothing) {
    desktop_->Pacing() = app::TransferPacing{kPart, 1};
    Upload();
    ASSERT_EQ(screen_.Status(), app::kUploadDoneText);
    for (int partsBefore : {0, 2, 4}) {
        SCOPED_TRACE("cut after " + std::to_string(partsBefore) + " parts");
        fs::path target = dir_ / ("out" + std::to_string(partsBefore) + ".bin");
        box_->fetches.made = 0;
        box_->fetches.left = partsBefore;
        EXPECT_EQ(Transfer([&] { desktop_->QueueDownloads({0}, target); }).rfind("下载失败: ", 0), 0u);
        EXPECT_FALSE(fs::exists(target)) << "nothing half-written under the target's name";

        box_->fetches.left = -1;
        EXPECT_EQ(Transfer([&] { desktop_->QueueDownloads({0}, target); }), app::kAllDoneText);
        EXPECT_EQ(box_->fetches.made, static_cast<int>(kParts)) << "the parts checked before are kept";
        EXPECT_EQ(BytesOf(target), BytesOf(source_));
    }
    // Opening the file hands over the checked bytes only: nothing after a cut.
    box_->fetches.left = 2;
    Transfer([&] { desktop_->OpenFile(0); });
    EXPECT_TRUE(screen_.opened.empty());
    box_->fetches.left = -1;
    desktop_->OpenFile(0);
    ASSERT_TRUE(RunUntil([&] { return !screen_.opened.empty(); }));
    EXPECT_EQ(screen_.opened[0].filename().u8string(), "大文件.bin");
    EXPECT_EQ(BytesOf(screen_.opened[0]), BytesOf(source_));
    std::error_code error;
    fs::remove_all(screen_.opened[0].parent_path(), error);
}

TEST_F(DesktopResume, TheListingLaneConnectsAgainAfterItsConnectionBroke) {
    int forks = box_->forks;
    box_->listings.left = 0;
    desktop_->ReloadOpenFolder();
    Settle();
    EXPECT_EQ(screen_.Status().rfind("读取文件列表失败: 与服务器的连接中断了", 0), 0u) << screen_.Status();
    box_->listings.left = -1;
    desktop_->ReloadOpenFolder();
    Settle();
    EXPECT_EQ(box_->forks, forks + 1) << "a store whose connection broke is not used again";
    desktop_->ReloadOpenFolder();
    Settle();
    EXPECT_EQ(box_->forks, forks + 1) << "a sound one is kept";
}

TEST_F(DesktopResume, ATakenNameIsAnsweredEachWay) {
    using app::ConflictChoice;
    struct {
        ConflictChoice choice;
        bool sameBytes;
        std::vector<std::string> folder, trash;
    } cases[] = {
        {ConflictChoice::Skip, false, {"大文件.bin"}, {}},
        {ConflictChoice::KeepBoth, false, {"大文件 (2).bin", "大文件.bin"}, {}},
        // The old file goes to the trash, and only after the new one is whole.
        {ConflictChoice::Overwrite, false, {"大文件.bin"}, {"大文件.bin"}},
        // The engine finds the very file already there: nothing to trash.
        {ConflictChoice::Overwrite, true, {"大文件.bin"}, {}},
    };
    const std::string original = BytesOf(source_);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.choice));
        box_->store.mails.clear();
        std::ofstream(source_, std::ios::binary) << original;
        Upload();
        ASSERT_EQ(Names(), std::vector<std::string>{"大文件.bin"});
        std::ofstream(source_, std::ios::binary) << (c.sameBytes ? original : original + "新");
        std::vector<std::string> asked;
        Transfer([&] {
            desktop_->QueueUploads({source_}, [&](const std::string& name) {
                asked.push_back(name);
                return app::ConflictAnswer{c.choice, false};
            });
        });
        desktop_->ReloadOpenFolder();
        Settle();
        EXPECT_EQ(asked, std::vector<std::string>{"大文件.bin"});
        EXPECT_EQ(Names(), c.folder);
        if (c.choice == ConflictChoice::Overwrite) {
            EXPECT_EQ(desktop_->Files().Row(0)->file.size, BytesOf(source_).size()) << "the new bytes stay";
        }
        Open("4");
        EXPECT_EQ(Names(), c.trash);
        Open(kFolder);
    }
}

}  // namespace
