// The progress display's timer on the user-interface thread: what it draws
// while transfers run, when it ends, and what it leaves on the status label.
// The transfer fields are set by hand here; the flows move them for real.
#include <gtest/gtest.h>

#include <windows.h>

#include "mainwindow/status_label.h"
#include "messagelist/progress_timer.h"
#include "messagelist/transfer_book.h"
#include "messagelist/transfer_status.h"
#include "signin/app_state.h"
#include "ui_driver.h"

namespace {

using namespace messagelist;

class ProgressTimer : public ::testing::Test {
protected:
    void SetUp() override {
        label_ = CreateWindowExW(0, L"Static", L"准备就绪", WS_POPUP | WS_VISIBLE, 0, 0, 260, 15, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(label_, nullptr);
        previousLabel_ = mainwindow::statusLabel;
        mainwindow::statusLabel = label_;
        Reset();
    }
    void TearDown() override {
        StopProgressTimer();
        Reset();
        mainwindow::statusLabel = previousLabel_;
        DestroyWindow(label_);
    }
    static void Reset() {
        session::Session& s = ui::TheSession();
        s.uploadIdle = 1;
        s.uploadSent = 0;
        s.uploadTotal = 0;
        s.downloadIdle = 1;
        s.downloadReceived = 0;
        s.downloadTotal = 0;
        Transfers() = TransferBook{};
    }
    // Two periods of the timer: at least one tick has run.
    static void Tick() { wintest::PumpMessages(2 * kProgressPeriodMs + 50); }
    std::wstring Label() const { return wintest::TextOf(label_); }

    HWND label_ = nullptr;
    HWND previousLabel_ = nullptr;
};

TEST_F(ProgressTimer, DrawsTheRunningTransfersAndKeepsGoing) {
    session::Session& s = ui::TheSession();
    s.uploadIdle = 0;
    s.uploadSent = 40960;
    s.uploadTotal = 1048576;
    StartProgressTimer();
    ASSERT_TRUE(ProgressTimerRunning());
    Tick();
    EXPECT_EQ(LastProgressText(), L"上传:40960/1048576");
    s.downloadIdle = 0;
    s.downloadReceived = 2048;
    s.downloadTotal = 5000;
    Tick();
    EXPECT_EQ(LastProgressText(), L"上传:40960/1048576 下载:2048/5000");
    EXPECT_TRUE(ProgressTimerRunning());
    EXPECT_EQ(Label(), L"准备就绪") << "the counts are drawn over the label, its text stays";
}

TEST_F(ProgressTimer, EndsWithItsTextOnceNothingTravels) {
    session::Session& s = ui::TheSession();
    s.downloadIdle = 0;
    s.downloadTotal = 100;
    StartProgressTimer();
    Tick();
    EXPECT_TRUE(ProgressTimerRunning());
    s.downloadIdle = 1;
    s.downloadTotal = 0;
    Tick();
    EXPECT_FALSE(ProgressTimerRunning());
    EXPECT_EQ(Label(), kAllDoneText);
    EXPECT_EQ(LastProgressText(), L"");
}

TEST_F(ProgressTimer, WaitsForTransfersThatAreStartedButNotYetTravelling) {
    session::Session& s = ui::TheSession();
    struct Case {
        const char* what;
        void (*arrange)(session::Session&);
    };
    const Case cases[] = {
        {"the download's pending mark", [](session::Session& s) { s.downloadTotal = kDownloadPendingMark; }},
        {"a save dialog still open", [](session::Session&) { Transfers().downloadTaken = true; }},
        {"an upload worker before its upload", [](session::Session&) { Transfers().uploadStarting = true; }},
    };
    for (const Case& c : cases) {
        Reset();
        c.arrange(s);
        StartProgressTimer();
        Tick();
        EXPECT_TRUE(ProgressTimerRunning()) << c.what;
        EXPECT_EQ(Label(), L"准备就绪") << c.what;
        Reset();
        Tick();
        EXPECT_FALSE(ProgressTimerRunning()) << c.what;
        EXPECT_EQ(Label(), kAllDoneText) << c.what;
        SetWindowTextW(label_, L"准备就绪");
    }
}

TEST_F(ProgressTimer, LeavesAFailureTextStanding) {
    Transfers().uploadStarting = true;
    StartProgressTimer();
    Tick();
    Transfers().uploadStarting = false;
    ShowTransferFailure(UploadFailedText(session::Status::Refused));
    Tick();
    EXPECT_FALSE(ProgressTimerRunning());
    EXPECT_EQ(Label(), L"上传失败: 服务器拒绝了请求");
}

TEST_F(ProgressTimer, StopsOnlyWhenNothingNeedsIt) {
    Transfers().uploadStarting = true;
    StartProgressTimer();
    StopProgressTimerIfSettled();
    EXPECT_TRUE(ProgressTimerRunning()) << "an upload still needs the display";
    Transfers().uploadStarting = false;
    StopProgressTimerIfSettled();
    EXPECT_FALSE(ProgressTimerRunning());
    StartProgressTimer();
    StartProgressTimer();
    StopProgressTimer();
    EXPECT_FALSE(ProgressTimerRunning()) << "a second start made no second timer";
    Tick();
    EXPECT_EQ(Label(), L"准备就绪") << "no tick after the stop";
}

}  // namespace
