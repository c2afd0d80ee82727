// The Desktop against a real vantlo-provider, over an account with folders
// "甲" (files a.txt, b.txt, c.txt) and "乙" (empty): the work runs on the
// executor's threads and comes back as tasks that the test runs as the
// user-interface thread would.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "app/desktop.h"
#include "fault_server.h"
#include "provider_process.h"
#include "session/cells.h"
#include "session/folders.h"
#include "session/signin.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Clock : app::ProgressClock {
    bool running = false;
    void Start() override { running = true; }
    void Stop() override { running = false; }
};

// What the views would have shown.
struct Screen : app::DesktopView {
    int loads = 0, pages = 0, stale = 0, busyChanges = 0;
    app::FolderList folders;
    std::vector<std::string> titles, statuses, errors;
    std::vector<std::uint32_t> created;
    void FoldersLoaded(const app::FolderList& f) override { folders = f, ++loads; }
    void FoldersStale() override { ++stale; }
    void FolderCreated(std::uint32_t data) override { created.push_back(data); }
    void FolderOpened(const std::string& title) override { titles.push_back(title); }
    void PageShown(const app::Page&) override { ++pages; }
    void StatusChanged(const std::string& text) override { statuses.push_back(text); }
    void ConnectionFailed(const std::string& text) override { errors.push_back(text); }
    void BusyChanged(bool) override { ++busyChanges; }
    std::string Status() const { return statuses.empty() ? "" : statuses.back(); }
    std::string Id(const std::string& name) const {
        auto found = std::find_if(folders.begin(), folders.end(), [&](const app::Folder& f) { return f.name == name; });
        return found == folders.end() ? "" : found->id;
    }
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto session = std::make_shared<session::Session>();
        session->providerOverride = provider_.HostPort();
        ASSERT_EQ(session::SignIn(*session, "desk@163.example", 1, "desk-pass"), session::SignInResult::Ok);
        for (const char* name : {"甲", "乙"})
            ASSERT_EQ(session::CreateUserFolder(*session, name, ids_[name]), session::Status::Ok);
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            std::ofstream(dir_ / name) << name;
            ASSERT_TRUE(
                session::Succeeded(session::StoreFileInFolder(*session, dir_ / name, ids_["甲"], {}, kFast).status));
        }
        Make(session);
    }
    void TearDown() override { desktop_->Finish(10s), testsupport::RemoveTree(dir_); }
    void Make(std::shared_ptr<session::Session> session) {
        auto post = [tasks = tasks_](app::Task task) {
            std::lock_guard<std::mutex> lock(tasks->first);
            return tasks->second.push_back(std::move(task)), true;
        };
        desktop_ = app::Desktop::Create(std::move(session), post, clock_);
        desktop_->AddView(screen_);
        desktop_->Pacing() = app::UploadPacing{0, kFast};
    }
    // Runs the tasks posted to the user-interface thread until `done` holds,
    // and the progress timer's ticks whenever none waits.
    bool RunUntil(const std::function<bool()>& done) {
        for (auto deadline = std::chrono::steady_clock::now() + 30s; !done();) {
            app::Task task;
            {
                std::lock_guard<std::mutex> lock(tasks_->first);
                if (!tasks_->second.empty()) task = std::move(tasks_->second.front()), tasks_->second.pop_front();
            }
            if (task) {
                task();
            } else if (std::chrono::steady_clock::now() > deadline) {
                return false;
            } else {
                if (clock_.running) desktop_->OnProgressTick();
                std::this_thread::sleep_for(5ms);
            }
        }
        return true;
    }
    void Load() {
        desktop_->LoadFolders();
        ASSERT_TRUE(RunUntil([&, loads = screen_.loads] { return screen_.loads > loads; }));
    }
    void Open(const std::string& id) {
        desktop_->OpenFolder(id);
        ASSERT_TRUE(RunUntil([&, pages = screen_.pages] { return screen_.pages > pages; }));
    }
    // The subjects of the shown page in order of name, and the row of one.
    std::vector<std::string> Subjects() const {
        std::vector<std::string> subjects;
        for (const app::Message& m : desktop_->ShownPage().rows) subjects.push_back(m.subject);
        return std::sort(subjects.begin(), subjects.end()), subjects;
    }
    int Row(const std::string& name) const {
        const auto& rows = desktop_->ShownPage().rows;
        return int(std::find_if(rows.begin(), rows.end(), [&](auto& m) { return m.subject == name; }) - rows.begin());
    }

    static constexpr session::StoreOptions kFast{10000, 0, 20, 200};

    testsupport::ProviderProcess provider_{{"desk@163.example:desk-pass"}};
    fs::path dir_ = testsupport::MakeTempDir("vantlo-desktop-");
    std::map<std::string, std::string> ids_;
    std::shared_ptr<std::pair<std::mutex, std::deque<app::Task>>> tasks_ =
        std::make_shared<std::pair<std::mutex, std::deque<app::Task>>>();
    Clock clock_;
    Screen screen_;
    std::shared_ptr<app::Desktop> desktop_;
};

TEST_F(DesktopTest, OpensTheLatestFolderAskedForAndMovesAndDeletesItsRows) {
    Load();
    EXPECT_EQ(screen_.busyChanges, 2) << "busy, then idle";
    desktop_->OpenFolder("1");
    Open(ids_["甲"]);
    EXPECT_EQ(screen_.pages, 1) << "the inbox's page came after another folder was asked for";
    EXPECT_EQ(screen_.titles.back(), "甲(3/3)");
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(desktop_->CheckDownload(3), app::DownloadCheck::NoRow);

    desktop_->MoveRows({Row("b.txt")}, ids_["乙"], true);
    EXPECT_EQ(screen_.Status(), app::kMovingText);
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == app::kMoveDoneText; }));
    EXPECT_EQ(Subjects(), (std::vector<std::string>{"a.txt", "c.txt"})) << "listed again";
    desktop_->MoveRows({Row("a.txt")}, ids_["乙"], false);
    ASSERT_TRUE(RunUntil([&] { return desktop_->ShownPage().rows.size() == 1; }));
    EXPECT_EQ(screen_.Status(), app::kMoveDoneText) << "a move of selected rows says nothing";
    Open(ids_["乙"]);
    desktop_->DeleteRows({Row("b.txt")});
    EXPECT_EQ(screen_.Status(), app::kDeletingText);
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == app::kReadyText; }));
    EXPECT_EQ(Subjects(), std::vector<std::string>{"a.txt"});
}

TEST_F(DesktopTest, FolderCommandsTellTheTreeWhatToShow) {
    desktop_->CreateFolder("新文件夹");
    ASSERT_TRUE(RunUntil([&] { return !screen_.created.empty(); }));
    std::string id = std::to_string(screen_.created[0]);
    desktop_->RenameFolder(id, "改名后");
    ASSERT_TRUE(RunUntil([&] { return screen_.stale == 1; })) << "a new tree after the rename";
    Load();
    EXPECT_EQ(screen_.Id("改名后"), id);
    desktop_->DeleteFolder(id);
    Load();
    EXPECT_EQ(screen_.Id("改名后"), "");
    desktop_->DeleteFolder(id);  // again: the provider names why it refuses
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == "删除文件夹失败: 服务器拒绝了请求 (FA_FOLDER_NOT_FOUND)"; }));
    for (int tick = 1; tick <= 10; ++tick) desktop_->OnRefreshTick();
    EXPECT_EQ(screen_.stale, 2) << "at the tenth tick of the refresh timer";
}

TEST_F(DesktopTest, AStoredFileGoesToTheFolderOpenWhenItBeganAndComesBackWhole) {
    Open(ids_["乙"]);
    fs::path file = dir_ / "stored.bin";
    std::ofstream(file, std::ios::binary) << std::string(300000, 'v') << "end";
    desktop_->StartUpload(file);
    EXPECT_FALSE(desktop_->UploadSlotFree());
    desktop_->OpenFolder("1");  // the upload keeps its target
    ASSERT_TRUE(RunUntil([&] { return screen_.Status() == app::kUploadDoneText; }));
    const std::vector<std::string> told = {app::kAllDoneText, app::kFetchingUploadText, app::kUploadDoneText};
    EXPECT_EQ(std::vector<std::string>(screen_.statuses.end() - 3, screen_.statuses.end()), told);
    Open(ids_["乙"]);
    ASSERT_EQ(Subjects(), std::vector<std::string>{"stored.bin"});

    ASSERT_EQ(desktop_->CheckDownload(0), app::DownloadCheck::Ready);
    EXPECT_EQ(desktop_->StartDownload(0), file.filename().string());
    EXPECT_EQ(desktop_->CheckDownload(0), app::DownloadCheck::Busy) << "taken while the dialog is open";
    desktop_->DownloadChoiceCancelled();
    EXPECT_EQ(screen_.Status(), app::kDownloadCancelledText);
    EXPECT_FALSE(clock_.running);
    fs::path saved = file.string() + ".saved";
    desktop_->StartDownload(0);
    desktop_->DownloadTo(saved);
    ASSERT_TRUE(RunUntil([&] { return !clock_.running; }));
    EXPECT_EQ(screen_.Status(), app::kAllDoneText);
    std::ifstream in(saved, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), std::string(300000, 'v') + "end");

    desktop_->StartUpload(file.string() + ".missing");
    ASSERT_TRUE(RunUntil([&] { return !clock_.running; }));
    EXPECT_EQ(screen_.Status(), "上传失败: 无法读取本地文件") << "the failure stays past the display's end";
}

TEST_F(DesktopTest, AnUnreachableProviderGetsTheErrorBoxAndAFailureText) {
    auto away = std::make_shared<session::Session>();
    session::SetCell(away->host, "127.0.0.1:" + std::to_string(testsupport::FaultServer().Port()));
    Make(away);
    desktop_->CreateFolder("新文件夹");
    desktop_->MoveRows({}, "65550", true);
    ASSERT_TRUE(RunUntil([&] { return screen_.pages == 1; }));
    EXPECT_EQ(screen_.errors, (std::vector<std::string>{"Create UserFolder,connect server error",
                                                        "Update UserFolder,connect server error"}));
    EXPECT_TRUE(screen_.created.empty()) << "nothing was made";
    EXPECT_NE(std::find(screen_.statuses.begin(), screen_.statuses.end(), "移动邮件失败: 无法连接服务器"),
              screen_.statuses.end());
    EXPECT_NE(screen_.Status(), app::kMoveDoneText);
}

}  // namespace
