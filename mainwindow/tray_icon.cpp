#include "mainwindow/tray_icon.h"

#include <cwchar>

namespace mainwindow {

namespace {
bool trayIconShown = false;
NotifyIconCall notifyIconCall;

BOOL NotifyIcon(DWORD action, NOTIFYICONDATAW* record) {
    if (notifyIconCall) return notifyIconCall(action, record);
    return Shell_NotifyIconW(action, record);
}
}  // namespace

NOTIFYICONDATAW TrayIconRecord(HWND window) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = window;
    nid.uID = kTrayIconId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_TRAYICON;
    nid.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101));
    std::wcsncpy(nid.szTip, L"Vantlo", sizeof(nid.szTip) / sizeof(nid.szTip[0]) - 1);
    return nid;
}

void MinimiseToTray(HWND window) {
    // One icon, however often the window is minimised.
    if (!trayIconShown) {
        NOTIFYICONDATAW nid = TrayIconRecord(window);
        trayIconShown = NotifyIcon(NIM_ADD, &nid) != FALSE;
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
    NotifyIcon(NIM_DELETE, &nid);
    trayIconShown = false;
}

bool TrayIconShown() {
    return trayIconShown;
}

void SetNotifyIconCall(NotifyIconCall call) {
    notifyIconCall = std::move(call);
}

}  // namespace mainwindow
