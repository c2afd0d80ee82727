// Vantlo.exe, the desktop program. Its entry procedure wires the views to
// the desktop's state: the sign-in window runs with its own loop; once an
// account has signed in, app/ takes its mailbox and the main window and the
// message list are made over it; then the one message loop runs until the
// main window quits.
#include <windows.h>

#include "app/app.h"
#include "mainwindow/main_window.h"
#include "messagelist/message_list.h"
#include "signin/signin_window.h"

namespace {
// How long work still running for the provider may hold up the end of the
// program once its windows have gone.
constexpr std::chrono::milliseconds kShutdownBound{3000};

void OpenMainWindow(HINSTANCE instance, std::shared_ptr<app::SignedInAccount> account) {
    std::shared_ptr<app::Desktop> desktop = app::Start(std::move(*account));
    HWND frame = mainwindow::CreateMainWindow(instance, desktop);
    if (!frame) PostQuitMessage(1);  // nothing to show: the loop ends at once
    messagelist::AttachMessageList(frame, desktop);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    app::SetModuleInstance(instance);
    app::InitialiseCommonControls();
    int result = signin::RunSignInWindow(
        instance, [instance](std::shared_ptr<app::SignedInAccount> account) { OpenMainWindow(instance, account); });
    if (result == 0) {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (mainwindow::TranslateMainWindowKey(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // A worker stuck on a stalled provider is not waited for beyond the
    // bound: the process ends at once, before anything it holds is torn down
    // under it. A download it cuts short never replaces its target file.
    if (!app::Stop(kShutdownBound)) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
    return result;
}
