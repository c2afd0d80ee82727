// What the desktop's tests share: the views' record of what they were told,
// the user-interface thread's queue run by the test, and steps that wait
// for the desktop's work to come back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "app/desktop.h"

namespace testsupport {

using namespace std::chrono_literals;

inline std::string BytesOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct TestClock : app::ProgressClock {
    bool running = false;
    void Start() override { running = true; }
    void Stop() override { running = false; }
};

// What the views would have shown.
struct Screen : app::DesktopView {
    int loads = 0, stale = 0, busyChanges = 0;
    app::FolderList folders;
    std::vector<std::string> statuses, errors, properties, shownTitles, progress;
    std::vector<app::EmptyFolderRequest> emptyAsked;
    std::vector<std::uint32_t> created;
    void FoldersLoaded(const app::FolderList& f) override { folders = f, ++loads; }
    void FoldersStale() override { ++stale; }
    void FolderCreated(std::uint32_t data) override { created.push_back(data); }
    void FilesShown(const app::FileList&, const std::string& title, bool) override { shownTitles.push_back(title); }
    void PropertiesReady(const std::string& text) override { properties.push_back(text); }
    void EmptyFolderAsked(const app::EmptyFolderRequest& request) override { emptyAsked.push_back(request); }
    std::vector<app::DeleteFolderRequest> deleteAsked;
    void DeleteFolderAsked(const app::DeleteFolderRequest& request) override { deleteAsked.push_back(request); }
    void StatusChanged(const std::string& text) override { statuses.push_back(text); }
    std::string space;
    void SpaceUsedChanged(const std::string& text) override { space = text; }
    void ProgressDrawn(const std::string& text) override { progress.push_back(text); }
    void ConnectionFailed(const std::string& text) override { errors.push_back(text); }
    void BusyChanged(bool) override { ++busyChanges; }
    // The transfer panel's and the tray's news.
    std::vector<std::size_t> leftOver;
    std::vector<std::string> ended;
    void TransfersLeftOver(std::size_t n) override { leftOver.push_back(n); }
    void TransfersEnded(const std::string& text, bool) override { ended.push_back(text); }
    std::vector<bool> vaultAsked;  // each ask for a passphrase: after a wrong one or not
    void VaultPassphraseAsked(const std::string&, const std::string&, bool wrong) override {
        vaultAsked.push_back(wrong);
    }
    std::vector<std::filesystem::path> opened;
    void FileFetchedToOpen(const std::filesystem::path& file) override { opened.push_back(file); }
    std::string Status() const { return statuses.empty() ? "" : statuses.back(); }
    const app::Folder* Named(const std::string& name) const {
        auto found = std::find_if(folders.begin(), folders.end(), [&](const app::Folder& f) { return f.name == name; });
        return found == folders.end() ? nullptr : &*found;
    }
    std::string Id(const std::string& name) const { return Named(name) ? Named(name)->id : ""; }
};

class DesktopFixture : public ::testing::Test {
protected:
    void TearDown() override {
        if (desktop_) desktop_->Finish(10s);
    }
    void Make(app::SignedInAccount account) {
        auto post = [tasks = tasks_](app::Task task) {
            std::lock_guard<std::mutex> lock(tasks->first);
            return tasks->second.push_back(std::move(task)), true;
        };
        if (desktop_) desktop_->Finish(10s);
        desktop_ = app::Desktop::Create(std::move(account), post, clock_);
        desktop_->AddView(screen_);
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
    // Opens the folder and waits for its files with their sizes.
    void Open(const std::string& id) {
        desktop_->OpenFolder(id);
        Settle();
    }
    void Settle() {
        ASSERT_TRUE(RunUntil([&] { return desktop_->Idle(); }));
    }
    // The names of the shown files in order of name, and the row of one.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < desktop_->Files().Count(); ++i)
            names.push_back(desktop_->Files().Row(i)->file.name);
        return std::sort(names.begin(), names.end()), names;
    }
    std::size_t Row(const std::string& name) const {
        for (std::size_t i = 0; i < desktop_->Files().Count(); ++i)
            if (desktop_->Files().Row(i)->file.name == name) return i;
        return desktop_->Files().Count();
    }

    std::shared_ptr<std::pair<std::mutex, std::deque<app::Task>>> tasks_ =
        std::make_shared<std::pair<std::mutex, std::deque<app::Task>>>();
    TestClock clock_;
    Screen screen_;
    std::shared_ptr<app::Desktop> desktop_;
};

}  // namespace testsupport
