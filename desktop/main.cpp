// Vantlo.exe, the desktop program. Its entry procedure wires the views to
// the desktop's state: the sign-in window runs with its own loop; once an
// account has signed in, app/ takes its mailbox and the main window and the
// message list are made over it; then the one message loop runs until the
// main window quits.
#include <windows.h>

#include <ole2.h>

#include <cwchar>
#include <string>

#include "app/app.h"
#include "mainwindow/main_window.h"
#include "messagelist/message_list.h"
#include "signin/signin_window.h"
#include "vantlo/version.h"

namespace {
// How long work still running for the provider may hold up the end of the
// program once its windows have gone.
constexpr std::chrono::milliseconds kShutdownBound{3000};

// "Vantlo.exe --version": written to the console or pipe it was started
// from, else shown in a box (a window program has no console of its own).
bool ShowVersionAsked(PCWSTR commandLine) {
    if (!commandLine || wcscmp(commandLine, L"--version") != 0) return false;
    const std::string line = std::string("Vantlo ") + vantlo::kVersion + "\r\n";
    AttachConsole(ATTACH_PARENT_PROCESS);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (out && out != INVALID_HANDLE_VALUE &&
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr))
        return true;
    const std::wstring text(line.begin(), line.end() - 2);  // ASCII: widened byte by byte
    MessageBoxW(nullptr, text.c_str(), L"Vantlo", MB_OK | MB_ICONINFORMATION);
    return true;
}

void OpenMainWindow(HINSTANCE instance, std::shared_ptr<app::SignedInAccount> account) {
    std::shared_ptr<app::Desktop> desktop = app::Start(std::move(*account));
    HWND frame = mainwindow::CreateMainWindow(instance, desktop);
    if (!frame) PostQuitMessage(1);  // nothing to show: the loop ends at once
    messagelist::AttachMessageList(frame, desktop);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    if (ShowVersionAsked(commandLine)) return 0;
    app::SetModuleInstance(instance);
    app::InitialiseCommonControls();
    // The window's thread is the drag's: files dragged out of the list go
    // through OLE, set up here once for the whole run.
    const HRESULT ole = OleInitialize(nullptr);
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
    if (SUCCEEDED(ole)) OleUninitialize();
    return result;
}
