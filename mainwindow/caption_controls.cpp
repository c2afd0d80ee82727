#include "mainwindow/caption_controls.h"

#include <vector>

#include "app/folder_tree_model.h"
#include "app/layout.h"
#include "app/list_menu_model.h"
#include "mainwindow/tray_icon.h"
#include "platform/text.h"
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

struct MenuLine {
    UINT command;  // 0: a separator
    const wchar_t* text;
    bool enabled;
    bool checked;
};

// The menus under 文件, 编辑, 视图 and 工具: the list's commands (app::ListCommand)
// and the folder tree's (app::IDM_*), which the frame hands on.
std::vector<MenuLine> MenuLines(int menu, const CaptionMenuState& s) {
    switch (menu) {
    case 0:
        return {{app::CmdUploadFile, L"上传文件...", s.folderOpen, false},
                {app::CmdDownloadAttachment, L"下载...\tEnter", s.fileChosen, false},
                {app::IDM_NEW_FOLDER, L"新建文件夹\tCtrl+N", true, false},
                {0, nullptr, false, false},
                {IDM_EXIT, L"退出", true, false}};
    case 1:
        return {{app::CmdSelectAll, L"全选\tCtrl+A", s.folderOpen, false},
                {app::CmdDeleteRows, L"删除...\tDel", s.fileChosen, false},
                {0, nullptr, false, false},
                {app::IDM_RENAME_FOLDER, L"重命名文件夹\tF2", true, false},
                {app::IDM_DELETE_FOLDER, L"删除文件夹...", true, false}};
    case 2:
        return {{app::CmdFileView, L"文件视图", s.folderOpen, !s.mailView},
                {app::CmdMailView, L"邮件视图", s.folderOpen, s.mailView},
                {app::CmdAttachmentsOnly, L"只看附件", s.folderOpen, s.attachmentsOnly},
                {0, nullptr, false, false},
                {app::IDM_REFRESH_FOLDERS, L"刷新\tF5", true, false}};
    default:
        return {{app::CmdProperties, L"文件属性", s.fileChosen, false},
                {app::IDM_FOLDER_PROPERTIES, L"文件夹属性\tCtrl+P", true, false},
                {app::IDM_EMPTY_FOLDER, L"清空文件夹...\tCtrl+E", true, false},
                {0, nullptr, false, false},
                {IDM_MAP_DRIVE, L"映射为网络驱动器", !s.driveMapped && !s.driveBusy, false},
                {IDM_UNMAP_DRIVE, L"断开网络驱动器", s.driveMapped && !s.driveBusy, false},
                {0, nullptr, false, false},
                {app::IDM_NEW_VAULT, L"新建保险箱...", true, false}};
    }
}

void ShowCaptionMenu(HWND window, HWND label, int menu, const CaptionMenuState& state) {
    RECT rect{};
    GetWindowRect(label, &rect);
    ui::Menu popup = ui::Menu::Popup();
    if (!popup) return;
    for (const MenuLine& line : MenuLines(menu, state)) {
        if (line.command == 0) {
            AppendMenuW(popup.Get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING | (line.enabled ? MF_ENABLED : MF_GRAYED) | (line.checked ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuW(popup.Get(), flags, kCaptionMenuBase + line.command, line.text);
    }
    // The window owns the menu: its command arrives as WM_COMMAND, lParam 0.
    TrackPopupMenu(popup.Get(), 0, rect.left, rect.bottom, 0, window, nullptr);
}
}  // namespace

CaptionControls CreateCaptionControls(HWND window, int right, int bottom) {
    static const wchar_t* const kMenuTexts[4] = {L"文件(&F)", L"编辑(&E)", L"视图(&V)", L"工具(&T)"};
    CaptionControls c;
    c.title = CreateLabel(window, L"Vantlo v1.1.11", 0, 10, 8, 130, 15);
    for (int i = 0; i < 4; ++i)
        c.menuLabels[i] = CreateLabel(window, kMenuTexts[i], SS_NOTIFY, 150 + 50 * i, 8, 50, 15);
    c.help = CreateLabel(window, L"帮助(&H)", SS_NOTIFY, 350, 8, 50, 15);
    c.minimise = CreateLabel(window, L"-", SS_NOTIFY, right - 65, 8, 12, 15);
    c.maximise = CreateLabel(window, L"\x25A1", SS_NOTIFY, right - 45, 8, 12, 15);
    c.close = CreateLabel(window, L"X", SS_NOTIFY, right - 25, 8, 12, 15);
    // Messages name files as they are ("&" too) and wrap rather than stop short.
    c.status = CreateLabel(window, kReadyText, SS_NOPREFIX | SS_EDITCONTROL, 10, bottom - 20, 260, 15);
    c.space = CreateLabel(window, L"", SS_NOPREFIX | SS_RIGHT, right - 220, bottom - 20, 210, 15);
    PlaceCaptionControls(c, right, bottom);
    SetWindowLongPtrW(c.help, GWLP_USERDATA, GetWindowLongPtrW(c.help, GWLP_WNDPROC));
    SetWindowLongPtrW(c.help, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HelpLabelProc));
    return c;
}

void PlaceCaptionControls(const CaptionControls& c, int right, int bottom) {
    app::CaptionBounds b = app::CaptionLayout(right);
    auto place = [](HWND label, const app::Bounds& at) {
        if (label) MoveWindow(label, at.x, at.y, at.width, at.height, TRUE);
    };
    place(c.title, b.title);
    for (int i = 0; i < 4; ++i) place(c.menuLabels[i], b.menus[i]);
    place(c.help, b.menus[4]);
    place(c.minimise, b.minimise);
    place(c.maximise, b.maximise);
    place(c.close, b.close);
    place(c.status, app::StatusLabelBounds(right, bottom));
    place(c.space, app::SpaceLabelBounds(right, bottom));
}

bool OnCaptionCommand(HWND window, const CaptionControls& caption, const CaptionMenuState& state, WPARAM wParam,
                      LPARAM lParam) {
    if (HIWORD(wParam) != STN_CLICKED || lParam == 0) return false;
    HWND sender = reinterpret_cast<HWND>(lParam);
    if (sender == caption.help) {
        ShowHelpMenu(caption.help);
    } else if (sender == caption.close) {
        SendMessageW(window, WM_CLOSE, 0, 0);
    } else if (sender == caption.minimise) {
        MinimiseToTray(window);
    } else if (sender == caption.maximise) {
        ShowWindow(window, IsZoomed(window) ? SW_RESTORE : SW_MAXIMIZE);
    } else {
        for (int i = 0; i < 4; ++i)
            if (sender == caption.menuLabels[i]) {
                ShowCaptionMenu(window, sender, i, state);
                return true;
            }
        return false;
    }
    return true;
}

}  // namespace mainwindow
