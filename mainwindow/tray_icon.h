// The main window's one icon in the notification area.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>

namespace mainwindow {

// The icon's callback message and identifier.
constexpr UINT WM_TRAYICON = WM_USER + 419;
constexpr UINT kTrayIconId = 101;

// The record with which the icon is added: window, identifier 101, callback
// WM_TRAYICON, icon resource 101 and the tooltip "Vantlo".
NOTIFYICONDATAW TrayIconRecord(HWND window);

// Hides the window and adds the icon, unless it is there already.
void MinimiseToTray(HWND window);

// WM_TRAYICON: a double click shows the window again; the icon stays.
void OnTrayIcon(HWND window, LPARAM mouseMessage);

// Removes the icon, if it is there (on WM_CLOSE).
void RemoveTrayIcon(HWND window);

// True while the icon is in the notification area.
bool TrayIconShown();

// The call to the shell; tests replace it to watch the icons come and go.
using NotifyIconCall = std::function<BOOL(DWORD action, NOTIFYICONDATAW* record)>;
void SetNotifyIconCall(NotifyIconCall call);

}  // namespace mainwindow
