#include "mainwindow/main_window.h"

#include <commctrl.h>
#include <richedit.h>

#include <vector>

#include "app/frame_protocol.h"
#include "app/layout.h"
#include "app/list_menu_model.h"
#include "app/window_look.h"
#include "mailbox/cache_dir.h"
#include "mainwindow/caption_controls.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/network_drive.h"
#include "mainwindow/notice_pane.h"
#include "mainwindow/transfer_panel.h"
#include "mainwindow/tray_icon.h"
#include "mainwindow/window_placement.h"
#include "platform/text.h"
#include "platform/ui_seams.h"
#include "platform/win_handles.h"

namespace mainwindow {

namespace {

// The drive's journal and copies: where vantlo-dav keeps them for the account.
std::wstring DriveCacheDir(const app::Desktop& desktop) {
    const std::filesystem::path base = mailbox::UserCacheDir();
    if (base.empty()) return {};  // no place of the user's own: the drive says so when asked
    const std::string account = platform::WideToUtf8(platform::AnsiToWide(desktop.AccountName()));
    return (base / "dav" / mailbox::FoldedName(account)).wstring();
}
constexpr char kWindowProperty[] = "MutexVantloWindow";
constexpr int kProgramIcon = 101;
constexpr int kCornerEllipse = 13;
constexpr COLORREF kOuterOutline = RGB(51, 102, 204);
constexpr COLORREF kInnerOutline = RGB(151, 102, 204);
constexpr COLORREF kLinkText = RGB(0, 0, 238);
constexpr wchar_t kPropertiesCaption[] = L"属性";
constexpr wchar_t kConnectionFailedCaption[] = L"连接失败";

// The main window and what it shows; one per run, found by its procedure.
class MainWindow final : public app::DesktopView {
public:
    HWND window = nullptr;
    HWND noticePane = nullptr;
    CaptionControls caption;
    FolderTree tree;
    std::shared_ptr<app::Desktop> desktop;
    std::shared_ptr<NetworkDrive> drive;
    ui::WindowDrag drag;
    bool busy = false;

    void StatusChanged(const std::string& text) override {
        if (!caption.status) return;
        SetWindowTextW(caption.status, platform::Utf8ToWide(text).c_str());
        // Shown at once, also while the thread then waits for a box.
        UpdateWindow(caption.status);
    }

    void SpaceUsedChanged(const std::string& text) override {
        if (caption.space) SetWindowTextW(caption.space, platform::Utf8ToWide(text).c_str());
    }

    // Over the label's own text, which shows again when the label repaints.
    void ProgressDrawn(const std::string& text) override {
        HWND label = caption.status;
        if (!label || text.empty()) return;
        RECT client{};
        GetClientRect(label, &client);
        ui::WindowDc dc(label);
        if (!dc.Get()) return;
        ui::SelectedObject font(dc.Get(), GetStockObject(DEFAULT_GUI_FONT));
        // The whole line is cleared first, so a shorter text leaves nothing of
        // a longer one behind.
        FillRect(dc.Get(), &client, ui::BackgroundBrush());
        SetBkColor(dc.Get(), ui::kWindowBackground);
        std::wstring wide = platform::Utf8ToWide(text);
        DrawTextW(dc.Get(), wide.c_str(), static_cast<int>(wide.size()), &client, DT_TOP | DT_LEFT | DT_NOPREFIX);
    }

    // A late notice goes nowhere once the pane has gone.
    void NoticeArrived(const std::string& text) override {
        if (noticePane) SetWindowTextW(noticePane, platform::Utf8ToWide(text).c_str());
    }

    void ConnectionFailed(const std::string& text) override {
        ui::ShowMessage(window, platform::Utf8ToWide(text), kConnectionFailedCaption, MB_OK | MB_ICONWARNING);
    }

    // The pointer over the window says whether work is under way; WM_SETCURSOR
    // keeps it so while the pointer moves.
    void BusyChanged(bool nowBusy) override {
        busy = nowBusy;
        POINT pointer{};
        if (!window || !GetCursorPos(&pointer)) return;
        HWND under = WindowFromPoint(pointer);
        if (under != window && !IsChild(window, under)) return;
        if (busy || under == window)
            SetCursor(LoadCursorW(nullptr, busy ? IDC_APPSTARTING : IDC_ARROW));
        else
            SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    }

    void PropertiesReady(const std::string& text) override {
        ui::ShowMessage(window, platform::Utf8ToWide(text), kPropertiesCaption, MB_OK);
    }

    // The first folder opened takes the right pane for good.
    void FolderOpened(const std::string&) override {
        if (!noticePane) return;
        DestroyWindow(noticePane);
        noticePane = nullptr;
    }
};

MainWindow theWindow;

LRESULT OnCreate(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    theWindow.caption = CreateCaptionControls(window, client.right, client.bottom);
    SetPropA(window, kWindowProperty, reinterpret_cast<HANDLE>(1));
    theWindow.window = window;
    return 0;
}

void Place(HDWP& batch, HWND control, const app::Bounds& b) {
    if (batch && control) batch = DeferWindowPos(batch, control, nullptr, b.x, b.y, b.width, b.height, 0);
}

// Sent to every pane of other views: the list answers the commands that are
// its own; the ORed answers tell the list's state.
LRESULT ToPanes(HWND window, UINT message, WPARAM wParam) {
    LRESULT answers = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        answers |= SendMessageW(child, message, wParam, 0);
    return answers;
}

CaptionMenuState MenuState(HWND window) {
    CaptionMenuState state;
    LRESULT list = ToPanes(window, ui::kListStateQuery, 0);
    state.fileChosen = (list & ui::kListRowSelected) != 0;
    state.mailView = (list & ui::kListMailView) != 0;
    if (theWindow.desktop) {
        state.folderOpen = !theWindow.desktop->OpenFolderId().empty();
        state.attachmentsOnly = theWindow.desktop->Files().AttachmentsOnly();
        state.driveMapped = !theWindow.desktop->DriveName().empty();
        state.driveBusy = theWindow.desktop->DriveBusy();
    }
    return state;
}

// A command of the caption's menus or of a key: the tree's act on its
// selected folder, as its own menu's do; the rest are the list's.
void RunCommand(HWND window, unsigned command) {
    if (command == IDM_EXIT) {
        SendMessageW(window, WM_CLOSE, 0, 0);
    } else if (command == IDM_MAP_DRIVE || command == IDM_UNMAP_DRIVE) {
        if (!theWindow.desktop) return;
        if (command == IDM_MAP_DRIVE)
            theWindow.desktop->MapDrive();
        else
            theWindow.desktop->UnmapDrive();
    } else if ((command >= app::IDM_OPEN_FOLDER && command <= app::IDM_FOLDER_PROPERTIES) ||
               command == app::IDM_NEW_VAULT) {
        if (theWindow.tree.Window()) SendMessageW(theWindow.tree.Window(), WM_COMMAND, command, 0);
    } else {
        ToPanes(window, ui::kFrameCommand, command);
    }
}

void OnSize(HWND window, WPARAM sizeType) {
    if (sizeType == SIZE_MINIMIZED) {
        // An empty client area has no room for the panes; they keep their
        // places for the restore.
        MinimiseToTray(window);
        return;
    }
    RECT client{};
    GetClientRect(window, &client);
    const int w = client.right;
    const int h = client.bottom;
    HDWP batch = BeginDeferWindowPos(2);
    Place(batch, theWindow.tree.Window(), app::FolderTreeBounds(w, h));
    Place(batch, theWindow.noticePane, app::NoticePaneBounds(w, h));
    if (batch) EndDeferWindowPos(batch);
    PlaceCaptionControls(theWindow.caption, w, h);
    // The window's edge moved: the outline is drawn afresh along it.
    InvalidateRect(window, nullptr, TRUE);
    // Panes of other views place themselves.
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, ui::kFrameResized, static_cast<WPARAM>(w), static_cast<LPARAM>(h));
}

void OnPaint(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    ui::SetRoundRegion(window, kCornerEllipse);
    ui::PaintScope paint(window);
    ui::DrawDoubleOutline(paint.Dc(), client.right, client.bottom, kOuterOutline, kInnerOutline);
}

LRESULT OnNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->hwndFrom && header->hwndFrom == theWindow.tree.Window()) return theWindow.tree.FolderTreeNotify(header);
    if (header->hwndFrom && header->hwndFrom == theWindow.noticePane) {
        const auto* link = reinterpret_cast<ENLINK*>(lParam);
        if (header->code == EN_LINK && link->msg == WM_LBUTTONDOWN) OpenNoticeLink(theWindow.noticePane, *link);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // A pane of another view answers for itself.
    if (header->hwndFrom && IsChild(window, header->hwndFrom))
        return SendMessageW(header->hwndFrom, ui::kReflectedNotify, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

// A control of another view (the list's links and search box) acts itself.
void OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    if (lParam == 0) {
        if (HIWORD(wParam) == 0 && LOWORD(wParam) >= kCaptionMenuBase)
            RunCommand(window, LOWORD(wParam) - kCaptionMenuBase);  // the caption's menus
        return;
    }
    if (OnCaptionCommand(window, theWindow.caption, MenuState(window), wParam, lParam)) return;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, ui::kReflectedCommand, wParam, lParam);
}

LRESULT OnCtlColorStatic(HDC dc, HWND control) {
    HBRUSH brush = ui::PaintControlBackground(dc);
    if (control && GetPropW(control, ui::kLinkTextProperty)) SetTextColor(dc, kLinkText);
    return reinterpret_cast<LRESULT>(brush);
}

void OnClose(HWND window) {
    if (!MayCloseWithTransfers(window)) return;
    SaveWindowPlacement(window);
    RemoveTrayIcon(window);
    DestroyWindow(window);
}

void OnDestroy(HWND window) {
    RemovePropA(window, kWindowProperty);
    PostQuitMessage(0);
}

// The children are gone with the window: none of their handles may be used
// again, and the desktop tells this window nothing more.
void OnNcDestroy() {
    // The letter goes with the window, and the server with it.
    if (theWindow.drive) theWindow.drive->Unmap();
    theWindow.drive.reset();
    DetachTransfers();
    if (theWindow.desktop) theWindow.desktop->RemoveView(theWindow);
    theWindow.tree.Forget();
    theWindow.desktop.reset();
    theWindow.window = theWindow.noticePane = nullptr;
    theWindow.caption = CaptionControls();
    theWindow.busy = false;
}

// No smaller than the panes fit in side by side.
void OnGetMinMaxInfo(HWND window, MINMAXINFO& info) {
    RECT frame{0, 0, app::kMinClientWidth, app::kMinClientHeight};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    info.ptMinTrackSize = {frame.right - frame.left, frame.bottom - frame.top};
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE: OnSize(window, wParam); break;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_SETCURSOR:
        if (!theWindow.busy) break;
        SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
        return TRUE;
    case WM_LBUTTONDOWN: theWindow.drag.ButtonDown(window, lParam); break;
    case WM_MOUSEMOVE: theWindow.drag.MouseMove(window, wParam, lParam); break;
    case WM_LBUTTONUP: theWindow.drag.ButtonUp(); break;
    case WM_LBUTTONDBLCLK: ShowWindow(window, IsZoomed(window) ? SW_RESTORE : SW_MAXIMIZE); return 0;
    case WM_GETMINMAXINFO: OnGetMinMaxInfo(window, *reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_COMMAND: OnCommand(window, wParam, lParam); break;
    case WM_NOTIFY: return OnNotify(window, message, wParam, lParam);
    case WM_CTLCOLORSTATIC: return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE: OnClose(window); return 0;
    case WM_DESTROY: OnDestroy(window); break;
    case WM_NCDESTROY: OnNcDestroy(); break;
    case WM_TRAYICON: OnTrayIcon(window, lParam); break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;  // a double click on the caption maximises
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIcon));
    windowClass.hbrBackground = ui::BackgroundBrush();
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}
// The folder commands each key stands for: Ctrl+O, Ctrl+N, Ctrl+E, Ctrl+P, F5.
unsigned FolderCommandOfKey(WPARAM key, bool control) {
    if (key == VK_F5 && !control) return app::IDM_REFRESH_FOLDERS;
    if (!control) return 0;
    switch (key) {
    case 'O': return app::IDM_OPEN_FOLDER;
    case 'N': return app::IDM_NEW_FOLDER;
    case 'E': return app::IDM_EMPTY_FOLDER;
    case 'P': return app::IDM_FOLDER_PROPERTIES;
    default: return 0;
    }
}

// The keys that act where the focus is: in the tree on its folder, in the
// list on its files. Enter in the tree opens the folder.
unsigned CommandOfFocusKey(WPARAM key, bool control, bool inTree, bool inList) {
    if (inTree) {
        if (key == VK_RETURN) return app::IDM_OPEN_FOLDER;
        if (key == VK_DELETE) return app::IDM_DELETE_FOLDER;
        if (key == VK_F2) return app::IDM_RENAME_FOLDER;
    }
    if (inList) {
        if (key == VK_RETURN) return app::CmdOpen;
        if (key == VK_DELETE) return app::CmdDeleteRows;
        if (control && key == 'A') return app::CmdSelectAll;
    }
    return 0;
}

// Tab and Shift+Tab walk the tree, the list and the search box; what is not
// there yet is left out.
void MoveFocus(bool backwards) {
    HWND focus = GetFocus();
    std::vector<HWND> stops;
    if (theWindow.tree.Window()) stops.push_back(theWindow.tree.Window());
    // The list comes right after the tree, then the other stops (the search box).
    for (bool lists : {true, false})
        for (HWND child = GetWindow(theWindow.window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t className[32] = {};
            GetClassNameW(child, className, 32);
            bool isList = lstrcmpiW(className, WC_LISTVIEWW) == 0;
            if (child != theWindow.tree.Window() && isList == lists && IsWindowVisible(child) &&
                (GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP))
                stops.push_back(child);
        }
    if (stops.empty()) return;
    std::size_t at = 0;
    while (at < stops.size() && stops[at] != focus && !IsChild(stops[at], focus)) ++at;
    std::size_t next = at == stops.size() ? 0 : (backwards ? at + stops.size() - 1 : at + 1) % stops.size();
    SetFocus(stops[next]);
}
}  // namespace

bool TranslateMainWindowKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || !theWindow.window || !theWindow.tree.Window()) return false;
    if (message.hwnd != theWindow.window && !IsChild(theWindow.window, message.hwnd)) return false;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    if (message.wParam == VK_TAB && !control) {
        MoveFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    HWND tree = theWindow.tree.Window();
    // A label being edited takes its own keys (Enter ends the edit).
    if (TreeView_GetEditControl(tree) && IsChild(tree, message.hwnd)) return false;
    const bool inTree = message.hwnd == tree;
    const bool inList = !inTree && (ToPanes(theWindow.window, ui::kListStateQuery, 0) & ui::kListHasFocus) != 0;
    unsigned command = CommandOfFocusKey(message.wParam, control, inTree, inList);
    if (command == 0) command = FolderCommandOfKey(message.wParam, control);
    if (command == 0) return false;
    RunCommand(theWindow.window, command);
    return true;
}

HWND CreateMainWindow(HINSTANCE instance, std::shared_ptr<app::Desktop> desktop) {
    if (!desktop || theWindow.window) return nullptr;
    RegisterMainWindowClass(instance);
    app::Bounds b = app::MainWindowBounds(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    LoadLibraryW(L"RICHED32.DLL");  // rich edit 1.0, for the notice pane; kept for the run
    // A sizing border and a maximised state; shown once it stands where the
    // last run left it.
    HWND window = CreateWindowExW(0, kMainWindowClass, L"Vantlo",
                                  WS_POPUP | WS_THICKFRAME | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, b.x, b.y,
                                  b.width, b.height, nullptr, nullptr, instance, nullptr);
    if (!window) return nullptr;
    if (!RestoreWindowPlacement(window, app::kMinClientWidth, app::kMinClientHeight)) ShowWindow(window, SW_SHOW);
    theWindow.desktop = desktop;
    desktop->AddView(theWindow);
    theWindow.drive = std::make_shared<NetworkDrive>(DriveCacheDir(*desktop));
    desktop->SetDriveService(theWindow.drive);
    theWindow.noticePane = CreateNoticePane(window);
    desktop->FetchNotice();
    theWindow.tree.CreateFolderTree(window, desktop);
    AttachTransfers(window, desktop);
    return window;
}

}  // namespace mainwindow
