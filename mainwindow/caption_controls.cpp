#include "mainwindow/caption_controls.h"

#include "mainwindow/tray_icon.h"
#include "platform/ui_seams.h"
#include "platform/win_handles.h"
#include "session/provider_directory.h"

namespace mainwindow {

namespace {
HWND CreateLabel(HWND parent, const wchar_t* text, DWORD style, int x, int y, int width, int height) {
    HWND label = CreateWindowExW(0, L"Static", text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return label;
}

// The help label's replacement procedure: the menu it owns sends it
// IDM_FORUM. Its previous procedure is kept in the label's user data.
LRESULT CALLBACK HelpLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(label, GWLP_USERDATA));
    if (message == WM_COMMAND && lParam == 0 && wParam == IDM_FORUM)
        ui::OpenWebPage(GetParent(label), session::kForumPage);
    return CallWindowProcW(previous, label, message, wParam, lParam);
}

void ShowHelpMenu(HWND help) {
    RECT rect{};
    GetClientRect(help, &rect);
    POINT corner{rect.left, rect.bottom};
    ClientToScreen(help, &corner);
    ui::Menu menu = ui::Menu::Popup();
    if (!menu) return;
    AppendMenuW(menu.Get(), MF_STRING, IDM_FORUM, L"论坛(&C)");
    // The help label owns the menu, so IDM_FORUM arrives at HelpLabelProc.
    TrackPopupMenu(menu.Get(), 0, corner.x, corner.y, 0, help, nullptr);
}
}  // namespace

CaptionControls CreateCaptionControls(HWND window, int right, int bottom) {
    static const wchar_t* const kMenuTexts[4] = {L"文件(&F)", L"编辑(&E)", L"视图(&V)", L"工具(&T)"};
    CaptionControls c;
    c.title = CreateLabel(window, L"Vantlo v1.1.11", 0, 10, 8, 130, 15);
    for (int i = 0; i < 4; ++i)
        c.menuLabels[i] = CreateLabel(window, kMenuTexts[i], SS_NOTIFY, 150 + 50 * i, 8, 50, 15);
    c.help = CreateLabel(window, L"帮助(&H)", SS_NOTIFY, 350, 8, 50, 15);
    c.minimise = CreateLabel(window, L"-", SS_NOTIFY, right - 45, 8, 12, 15);
    c.close = CreateLabel(window, L"X", SS_NOTIFY, right - 25, 8, 12, 15);
    c.status = CreateLabel(window, kReadyText, 0, 10, bottom - 20, 260, 15);
    SetWindowLongPtrW(c.help, GWLP_USERDATA, GetWindowLongPtrW(c.help, GWLP_WNDPROC));
    SetWindowLongPtrW(c.help, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HelpLabelProc));
    return c;
}

bool OnCaptionCommand(HWND window, const CaptionControls& caption, WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != STN_CLICKED || lParam == 0) return false;
    HWND sender = reinterpret_cast<HWND>(lParam);
    if (sender == caption.help) {
        ShowHelpMenu(caption.help);
    } else if (sender == caption.close) {
        SendMessageW(window, WM_CLOSE, 0, 0);
    } else if (sender == caption.minimise) {
        MinimiseToTray(window);
    } else {
        return false;  // the other four menu labels do nothing
    }
    return true;
}

}  // namespace mainwindow
