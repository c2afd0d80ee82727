#include "signin/signin_flow.h"

#include "mainwindow/folder_refresh.h"
#include "mainwindow/main_window.h"
#include "platform/text.h"
#include "platform/ui_seams.h"
#include "session/provider_directory.h"
#include "session/signin.h"
#include "signin/app_state.h"
#include "signin/saved_accounts.h"
#include "signin/signin_state.h"

namespace signin {
namespace {
UINT_PTR folderRefreshTimer = 0;
}  // namespace

std::wstring UnsupportedDomainText() {
    std::wstring text = L"不支持此邮件服务提供商或者格式不正确\r\n您应输入如下格式: ";
    for (int entry = 1; entry <= session::kEntryCount; ++entry) {
        if (entry > 1) text += L"\r\n";
        text += platform::AnsiToWide(session::EntryByNumber(entry)->exampleAddress);
    }
    return text;
}

UINT_PTR FolderRefreshTimerId() {
    return folderRefreshTimer;
}

int TrySignIn(const std::string& password, int entry, const std::string& account) {
    SignInWindowState& s = TheSignInWindow();
    const SignInControls& c = s.controls;
    // Runs on the user-interface thread; every wait of the exchange is
    // bounded by the session's limits.
    if (session::SignIn(ui::TheSession(), account, entry, password) != session::SignInResult::Ok) {
        ui::ShowMessage(c.window, kSignInFailedText, kNoticeCaption, MB_OK);
        SetWindowTextW(c.passwordBox, L"");
        SetInputsReadOnly(c, false);
        SetFocus(c.passwordBox);
        return 1;
    }
    s.signInSucceeded = true;
    ShowWindow(c.window, SW_HIDE);
    // A thread timer: the system picks the id it returns.
    folderRefreshTimer = SetTimer(nullptr, kFolderRefreshTimerId, kFolderRefreshPeriodMs, FolderRefreshTimerProc);
    return 0;
}

int CheckDomainAndSignIn(const std::string& account, const std::string& password) {
    const SignInControls& c = TheSignInWindow().controls;
    int entry = session::EntryForAccount(account);
    SetInputsReadOnly(c, false);
    if (entry == 0) {
        ui::ShowMessage(c.window, UnsupportedDomainText(), kNoticeCaption, MB_OK);
        return 1;
    }
    if (TrySignIn(password, entry, account) != 0) return 1;
    SaveAccount(password, account, CheckedOptions(c));
    CreateMainWindow(ui::ModuleInstance());
    return 0;
}

}  // namespace signin
