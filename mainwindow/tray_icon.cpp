#include "mainwindow/tray_icon.h"

#include <shellapi.h>

#include <cwchar>

#include "platform/text.h"

namespace mainwindow {

namespace {
constexpr UINT kTrayIconId = 101;
constexpr int kProgramIcon = 101;
bool trayIconShown = false;
std::wstring trayTip = L"Vantlo";
TrayMenuHandler menuHandler = nullptr;

template <std::size_t N>
void CopyCut(wchar_t (&field)[N], const std::wstring& text) {
    std::wcsncpy(field, text.c_str(), N - 1);
    field[N - 1] = L'\0';
    // Never half of a pair of surrogates at the cut.
    if (text.size() >= N && field[N - 2] >= 0xD800 && field[N - 2] <= 0xDBFF) field[N - 2] = L'\0';
}

// The record the icon is known by: window, identifier 101.
NOTIFYICONDATAW IconKey(HWND window) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = window;
    nid.uID = kTrayIconId;
    return nid;
}

// The record the icon is added with: callback WM_TRAYICON, the program's
// icon and the tooltip.
NOTIFYICONDATAW TrayIconRecord(HWND window) {
    NOTIFYICONDATAW nid = IconKey(window);
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_TRAYICON;
    nid.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgramIcon));
    CopyCut(nid.szTip, trayTip);
    return nid;
}
}  // namespace

void ShowTrayIcon(HWND window) {
    if (trayIconShown) return;
    NOTIFYICONDATAW nid = TrayIconRecord(window);
    trayIconShown = Shell_NotifyIconW(NIM_ADD, &nid) != FALSE;
}

void MinimiseToTray(HWND window) {
    // One icon, however often the window is minimised.
    ShowTrayIcon(window);
    // Without an icon there would be no way back to a hidden window: it
    // stays minimised in the ordinary way instead.
    if (trayIconShown)
        ShowWindow(window, SW_HIDE);
    else if (!IsIconic(window))
        ShowWindow(window, SW_MINIMIZE);
}

void RestoreFromTray(HWND window) {
    ShowWindow(window, SW_SHOW);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
}

void OnTrayIcon(HWND window, LPARAM mouseMessage) {
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDBLCLK: RestoreFromTray(window); break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
        if (menuHandler) menuHandler(window);
        break;
    }
}

void SetTrayMenuHandler(TrayMenuHandler handler) {
    menuHandler = handler;
}

void SetTrayTip(HWND window, const std::string& tip) {
    std::wstring wide = platform::Utf8ToWide(tip);
    if (wide == trayTip) return;
    trayTip = wide;
    if (!trayIconShown) return;
    NOTIFYICONDATAW nid = IconKey(window);
    nid.uFlags = NIF_TIP;
    CopyCut(nid.szTip, trayTip);
    Shell_NotifyIconW(NIM_MODIFY, &nid);
}

void ShowTrayBalloon(HWND window, const std::string& text, bool warning) {
    if (!trayIconShown) return;
    NOTIFYICONDATAW nid = IconKey(window);
    nid.uFlags = NIF_INFO;
    CopyCut(nid.szInfo, platform::Utf8ToWide(text));
    CopyCut(nid.szInfoTitle, L"Vantlo");
    nid.dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    Shell_NotifyIconW(NIM_MODIFY, &nid);
}

void RemoveTrayIcon(HWND window) {
    NOTIFYICONDATAW nid = IconKey(window);
    nid.uFlags = NIF_MESSAGE;
    nid.uCallbackMessage = WM_TRAYICON;
    Shell_NotifyIconW(NIM_DELETE, &nid);
    trayIconShown = false;
    trayTip = L"Vantlo";
}

}  // namespace mainwindow
