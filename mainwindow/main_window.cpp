#include "mainwindow/main_window.h"

#include <commctrl.h>
#include <richedit.h>

#include "app/frame_protocol.h"
#include "app/layout.h"
#include "app/window_look.h"
#include "mainwindow/caption_controls.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/notice_pane.h"
#include "mainwindow/transfer_panel.h"
#include "mainwindow/tray_icon.h"
#include "platform/text.h"
#include "platform/ui_seams.h"
#include "platform/win_handles.h"

namespace mainwindow {

namespace {
constexpr char kWindowProperty[] = "MutexVantloWindow";
constexpr int kProgramIcon = 101;
constexpr int kCornerEllipse = 13;
constexpr COLORREF kOuterOutline = RGB(51, 102, 204);
constexpr COLORREF kInnerOutline = RGB(151, 102, 204);
constexpr COLORREF kLinkText = RGB(0, 0, 238);
constexpr wchar_t kPropertiesCaption[] = L"属性";

// The main window and what it shows; one per run, found by its procedure.
class MainWindow final : public app::DesktopView {
public:
    HWND window = nullptr;
    HWND noticePane = nullptr;
    CaptionControls caption;
    FolderTree tree;
    std::shared_ptr<app::Desktop> desktop;
    ui::WindowDrag drag;
    bool busy = false;

    void StatusChanged(const std::string& text) override {
        if (!caption.status) return;
        SetWindowTextW(caption.status, platform::Utf8ToWide(text).c_str());
        // Shown at once, also while the thread then waits for a box.
        UpdateWindow(caption.status);
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
        ui::ShowMessage(nullptr, platform::Utf8ToWide(text), L"Error", MB_OK);
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
    HDWP batch = BeginDeferWindowPos(4);
    Place(batch, theWindow.tree.Window(), app::FolderTreeBounds(w, h));
    Place(batch, theWindow.caption.status, app::StatusLabelBounds(w, h));
    Place(batch, theWindow.noticePane, app::NoticePaneBounds(w, h));
    if (batch) EndDeferWindowPos(batch);
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
    if (OnCaptionCommand(window, theWindow.caption, wParam, lParam) || lParam == 0) return;
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
    DetachTransfers();
    if (theWindow.desktop) theWindow.desktop->RemoveView(theWindow);
    theWindow.tree.Forget();
    theWindow.desktop.reset();
    theWindow.window = theWindow.noticePane = nullptr;
    theWindow.caption = CaptionControls();
    theWindow.busy = false;
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
}  // namespace

bool TranslateMainWindowKey(const MSG& message) {
    if (message.message != WM_KEYDOWN || !theWindow.window || !theWindow.tree.Window()) return false;
    if (message.hwnd != theWindow.window && !IsChild(theWindow.window, message.hwnd)) return false;
    unsigned command = FolderCommandOfKey(message.wParam, GetKeyState(VK_CONTROL) < 0);
    if (command == 0) return false;
    // The tree's commands act on its selected folder, as its menu's do.
    SendMessageW(theWindow.tree.Window(), WM_COMMAND, command, 0);
    return true;
}

HWND CreateMainWindow(HINSTANCE instance, std::shared_ptr<app::Desktop> desktop) {
    if (!desktop || theWindow.window) return nullptr;
    RegisterMainWindowClass(instance);
    app::Bounds b = app::MainWindowBounds(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    LoadLibraryW(L"RICHED32.DLL");  // rich edit 1.0, for the notice pane; kept for the run
    HWND window = CreateWindowExW(0, kMainWindowClass, L"Vantlo", WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX,
                                  b.x, b.y, b.width, b.height, nullptr, nullptr, instance, nullptr);
    if (!window) return nullptr;
    theWindow.desktop = desktop;
    desktop->AddView(theWindow);
    theWindow.noticePane = CreateNoticePane(window);
    desktop->FetchNotice();
    theWindow.tree.CreateFolderTree(window, desktop);
    AttachTransfers(window, desktop);
    return window;
}

}  // namespace mainwindow
