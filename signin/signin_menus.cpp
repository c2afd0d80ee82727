// The popup menus of the caption labels "文件(&F)" and "帮助(&H)". Both are
// tracked with the help label as their owner, so their commands arrive at the
// help label's replaced procedure.
#include <initializer_list>

#include "platform/ui_seams.h"
#include "platform/win_handles.h"
#include "session/provider_directory.h"
#include "signin/signin_menus.h"
#include "signin/signin_state.h"

namespace signin {
namespace {

struct MenuItem {
    unsigned command;
    const wchar_t* text;
};

// Built anew each time; shown at the label's bottom-left corner.
void TrackLabelMenu(HWND label, HWND owner, std::initializer_list<MenuItem> items) {
    ui::Menu menu = ui::Menu::Popup();
    if (!menu) return;
    for (const MenuItem& item : items) AppendMenuW(menu.Get(), MF_STRING, item.command, item.text);
    RECT client{};
    GetClientRect(label, &client);
    POINT corner{client.left, client.bottom};
    ClientToScreen(label, &corner);
    TrackPopupMenu(menu.Get(), TPM_LEFTALIGN | TPM_LEFTBUTTON, corner.x, corner.y, 0, owner, nullptr);
}

void OnMenuCommand(unsigned command) {
    HWND window = TheSignInWindow().controls.window;
    switch (command) {
    case kExitCommand: DestroyWindow(window); break;
    case kForumCommand: ui::OpenWebPage(window, session::kForumPage); break;
    case kAboutCommand: break;
    }
}

}  // namespace

void ShowFileMenu(const SignInControls& controls) {
    TrackLabelMenu(controls.fileLabel, controls.helpLabel, {{kExitCommand, L"退出(&X)"}});
}

void ShowHelpMenu(const SignInControls& controls) {
    TrackLabelMenu(controls.helpLabel, controls.helpLabel,
                   {{kAboutCommand, L"关于(&A)"}, {kForumCommand, L"论坛(&C)"}});
}

LRESULT CALLBACK SignInMenuLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC own = TheSignInWindow().helpLabelProc;
    if (message == WM_COMMAND && lParam == 0 && HIWORD(wParam) == 0) OnMenuCommand(LOWORD(wParam));
    // "退出" destroys the window and this label with it.
    if (!IsWindow(label)) return 0;
    return CallWindowProcW(own, label, message, wParam, lParam);
}

}  // namespace signin
