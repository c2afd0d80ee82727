// The main window's one icon in the notification area.
#pragma once

#include <windows.h>

namespace mainwindow {

// The icon's callback message.
constexpr UINT WM_TRAYICON = WM_USER + 419;

// Hides the window and adds the icon, unless it is there already.
void MinimiseToTray(HWND window);

// WM_TRAYICON: a double click shows the window again; the icon stays.
void OnTrayIcon(HWND window, LPARAM mouseMessage);

// Removes the icon, if it is there (on WM_CLOSE).
void RemoveTrayIcon(HWND window);

}  // namespace mainwindow
