#include "mainwindow/tray_icon.h"

#include <shellapi.h>

#include <cwchar>

namespace mainwindow {

namespace {
constexpr UINT kTrayIconId = 101;
constexpr int kProgramIcon = 101;
bool trayIconShown = false;

// The record the icon is added with: window, identifier 101, callback
// WM_TRAYICON, the program's icon and the tooltip "Vantlo".
NOTIFYICONDATAW TrayIconRecord(HWND window) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = window;
    nid.uID = kTrayIconId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_TRAYICON;
    nid.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIcon));
    std::wcsncpy(nid.szTip, L"Vantlo", sizeof(nid.szTip) / sizeof(nid.szTip[0]) - 1);
    return nid;
}
}  // namespace

void MinimiseToTray(HWND window) {
    // One icon, however often the window is minimised.
    if (!trayIconShown) {
        NOTIFYICONDATAW nid = TrayIconRecord(window);
        trayIconShown = Shell_NotifyIconW(NIM_ADD, &nid) != FALSE;
    }
    // Without an icon there would be no way back to a hidden window: it
    // stays minimised in the ordinary way instead.
    if (trayIconShown)
        ShowWindow(window, SW_HIDE);
    else if (!IsIconic(window))
        ShowWindow(window, SW_MINIMIZE);
}

void OnTrayIcon(HWND window, LPARAM mouseMessage) {
    if (static_cast<UINT>(mouseMessage) != WM_LBUTTONDBLCLK) return;
    ShowWindow(window, SW_SHOW);
    ShowWindow(window, SW_SHOWNORMAL);
}

void RemoveTrayIcon(HWND window) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = window;
    nid.uID = kTrayIconId;
    nid.uFlags = NIF_MESSAGE;
    nid.uCallbackMessage = WM_TRAYICON;
    Shell_NotifyIconW(NIM_DELETE, &nid);
    trayIconShown = false;
}

}  // namespace mainwindow
