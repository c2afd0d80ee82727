#include "mainwindow/caption_controls.h"

#include "mainwindow/status_label.h"
#include "mainwindow/tray_icon.h"
#include "platform/ui_seams.h"
#include "session/provider_directory.h"

namespace mainwindow {

namespace {
HWND CreateLabel(HWND parent, const wchar_t* text, DWORD style, int x, int y, int width, int height) {
    HWND label = CreateWindowExW(0, L"Static", text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return label;
}

void ShowHelpMenu() {
    RECT rect{};
    GetClientRect(caption.help, &rect);
    POINT corner{rect.left, rect.bottom};
    ClientToScreen(caption.help, &corner);
    Menu menu = BuildHelpMenu();
    // The help label owns the menu, so IDM_FORUM arrives at HelpLabelProc.
    TrackPopupMenu(menu.Get(), 0, corner.x, corner.y, 0, caption.help, nullptr);
}
}  // namespace

void CreateCaptionControls(HWND window, int right, int bottom) {
    static const wchar_t* const kMenuTexts[4] = {L"文件(&F)", L"编辑(&E)", L"视图(&V)", L"工具(&T)"};
    caption.title = CreateLabel(window, L"Vantlo v1.1.11", 0, 10, 8, 130, 15);
    for (int i = 0; i < 4; ++i)
        caption.menuLabels[i] = CreateLabel(window, kMenuTexts[i], SS_NOTIFY, 150 + 50 * i, 8, 50, 15);
    caption.help = CreateLabel(window, L"帮助(&H)", SS_NOTIFY, 350, 8, 50, 15);
    caption.minimise = CreateLabel(window, L"-", SS_NOTIFY, right - 45, 8, 12, 15);
    caption.close = CreateLabel(window, L"X", SS_NOTIFY, right - 25, 8, 12, 15);
    statusLabel = CreateLabel(window, kReadyText, 0, 10, bottom - 20, 260, 15);
    helpLabelOldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(caption.help, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HelpLabelProc)));
}

bool OnCaptionCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != STN_CLICKED || lParam == 0) return false;
    HWND sender = reinterpret_cast<HWND>(lParam);
    if (sender == caption.help) {
        ShowHelpMenu();
    } else if (sender == caption.close) {
        SendMessageW(window, WM_CLOSE, 0, 0);
    } else if (sender == caption.minimise) {
        MinimiseToTray(window);
    } else {
        return false;  // the other four menu labels do nothing
    }
    return true;
}

Menu BuildHelpMenu() {
    Menu menu(CreatePopupMenu());
    AppendMenuW(menu.Get(), MF_STRING, IDM_FORUM, L"论坛(&C)");
    return menu;
}

LRESULT CALLBACK HelpLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && lParam == 0 && wParam == IDM_FORUM)
        ui::OpenWebPage(GetParent(window), session::kForumPage);
    return CallWindowProcW(helpLabelOldProc, window, message, wParam, lParam);
}

}  // namespace mainwindow
