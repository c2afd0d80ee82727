#include "mainwindow/main_window.h"

#include <commctrl.h>
#include <richedit.h>

#include <memory>

#include "mainwindow/app_messages.h"
#include "mainwindow/caption_controls.h"
#include "mainwindow/folder_refresh.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/frame_paint.h"
#include "mainwindow/notice_link.h"
#include "mainwindow/notice_pane.h"
#include "mainwindow/pane_layout.h"
#include "mainwindow/static_colours.h"
#include "mainwindow/status_label.h"
#include "mainwindow/tray_icon.h"
#include "mainwindow/ui_globals.h"
#include "mainwindow/window_drag.h"
#include "mainwindow/window_size.h"
#include "messagelist/message_list.h"
#include "messagelist/message_page.h"
#include "signin/app_state.h"
#include "signin/ui_colours.h"

namespace mainwindow {

namespace {
constexpr char kWindowProperty[] = "MutexVantloWindow";

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(101));
    windowClass.hbrBackground = ui::BackgroundBrush();
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

LRESULT OnCreate(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    CreateCaptionControls(window, client.right, client.bottom);
    SetPropA(window, kWindowProperty, reinterpret_cast<HANDLE>(1));
    mainWindow = window;
    return 0;
}

LRESULT OnNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (folderTree && header->hwndFrom == folderTree) return FolderTreeNotify(header);
    if (messagelist::messageListWindow && header->hwndFrom == messagelist::messageListWindow)
        return messagelist::MessageListNotify(window, message, wParam, lParam);
    if (header->code == EN_LINK && noticePane && header->hwndFrom == noticePane) {
        const auto* link = reinterpret_cast<ENLINK*>(lParam);
        if (link->msg == WM_LBUTTONDOWN) OpenNoticeLink(noticePane, *link);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void OnClose(HWND window) {
    RemoveTrayIcon(window);
    DestroyWindow(window);
}

void OnDestroy(HWND window) {
    RemovePropA(window, kWindowProperty);
    PostQuitMessage(0);
}

// The children are gone with the window: none of their handles may be
// used again.
void ForgetWindows() {
    mainWindow = nullptr;
    folderTree = nullptr;
    accountItem = mailRootItem = nullptr;
    noticePane = nullptr;
    statusLabel = nullptr;
    caption = CaptionControls();
    messagelist::ForgetMessageListArea();
}

void OnMessagePage(LPARAM posted) {
    std::unique_ptr<messagelist::MessagePage> page(reinterpret_cast<messagelist::MessagePage*>(posted));
    messagelist::AdoptMessagePage(ui::TheSession(), std::move(page), CurrentFolderId());
}
}  // namespace

int CreateMainWindowIn(HINSTANCE instance) {
    ui::InitialiseCommonControls();
    RegisterMainWindowClass(instance);
    WindowPlacement placement = MainWindowPlacement(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    treePaneWidth = kTreePaneWidth;
    LoadLibraryW(L"RICHED32.DLL");  // rich edit 1.0, for the notice pane; kept for the run
    HWND window = CreateWindowExW(0, kMainWindowClass, L"Vantlo", WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX,
                                  placement.x, placement.y, placement.width, placement.height, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 0;
    CreateNoticePane(ui::TheSession());
    CreateFolderTree();
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_SIZE: OnMainWindowSize(window, wParam); break;
    case WM_PAINT:
        if (window != mainWindow) break;
        PaintMainWindowFrame(window);
        return 0;
    case WM_LBUTTONDOWN: OnDragButtonDown(window, lParam); break;
    case WM_MOUSEMOVE: OnDragMouseMove(window, wParam, lParam); break;
    case WM_LBUTTONUP: OnDragButtonUp(); break;
    case WM_COMMAND: OnCaptionCommand(window, wParam, lParam); break;
    case WM_NOTIFY: return OnNotify(window, message, wParam, lParam);
    case WM_CTLCOLORSTATIC: return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE: OnClose(window); return 0;
    case WM_DESTROY: OnDestroy(window); break;
    case WM_NCDESTROY: ForgetWindows(); break;
    case WM_TRAYICON: OnTrayIcon(window, lParam); break;
    case kMessagePageMessage: OnMessagePage(lParam); return 0;
    case kNoticeTextMessage: OnNoticeText(lParam); return 0;
    case kStatusTextMessage: OnStatusText(lParam); return 0;
    case kFolderTreeRebuildMessage: OnFolderTreeRebuild(); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace mainwindow

int CreateMainWindow(HINSTANCE instance) {
    return mainwindow::CreateMainWindowIn(instance);
}

HWND MainWindowHandle() {
    return mainwindow::mainWindow;
}
