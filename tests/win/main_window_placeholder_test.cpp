// The placeholder main window that stands in until the real one exists:
// replace this file together with mainwindow/.
#include <gtest/gtest.h>

#include "mainwindow/folder_refresh.h"
#include "mainwindow/main_window.h"
#include "session/cells.h"
#include "signin/app_state.h"
#include "ui_driver.h"

TEST(MainWindowPlaceholder, ShowsTheAccountAndEndsTheLoopWhenClosed) {
    session::SetCell(ui::TheSession().accountName, "someone@163.example");
    EXPECT_EQ(CreateMainWindow(ui::ModuleInstance()), 0);
    HWND main = MainWindowHandle();
    ASSERT_TRUE(IsWindow(main));
    EXPECT_EQ(wintest::TextOf(main), L"Vantlo");
    HWND label = FindWindowExW(main, nullptr, L"Static", nullptr);
    EXPECT_EQ(wintest::TextOf(label), L"Vantlo: someone@163.example");
    SendMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(MainWindowHandle(), nullptr);
    EXPECT_TRUE(wintest::PumpMessages(0).quit);
}

TEST(MainWindowPlaceholder, FolderRefreshTimerCountsItsTicks) {
    unsigned before = FolderRefreshTicks();
    UINT_PTR timer = SetTimer(nullptr, 0, 10, FolderRefreshTimerProc);
    ASSERT_NE(timer, 0u);
    for (int i = 0; i < 100 && FolderRefreshTicks() < before + 2; ++i) wintest::PumpMessages(20);
    KillTimer(nullptr, timer);
    EXPECT_GE(FolderRefreshTicks(), before + 2);
}
