// A sign-in window made fresh for each test, on a registry without any saved
// accounts; whatever the test leaves (the window, the main window, the
// folder refresh timer, a posted quit message) is cleaned away after it.
#pragma once

#include <gtest/gtest.h>

#include "mainwindow/main_window.h"
#include "registry_scratch.h"
#include "signin/app_state.h"
#include "signin/signin_flow.h"
#include "signin/signin_window.h"
#include "ui_driver.h"

class SignInWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        if (HWND main = MainWindowHandle()) DestroyWindow(main);
        if (UINT_PTR timer = signin::FolderRefreshTimerId()) KillTimer(nullptr, timer);
        wintest::PumpMessages(0);
    }

    // Arrange the registry first: the window reads it while it is made.
    HWND Open() {
        window_ = signin::CreateSignInWindow(ui::ModuleInstance());
        wintest::PumpMessages(30);
        return window_;
    }

    const signin::SignInControls& C() const { return signin::CurrentSignInControls(); }

    bool ReadOnly(HWND edit) const { return wintest::HasStyle(edit, ES_READONLY); }

    wintest::RegistryScratch scratch_;
    HWND window_ = nullptr;
};
