// The main window's one icon in the notification area: its tooltip tells
// how the transfers go, a balloon when they end, and its menu shows the
// window, pauses or continues the transfers, or quits.
#pragma once

#include <windows.h>

#include <string>

namespace mainwindow {

// The icon's callback message.
constexpr UINT WM_TRAYICON = WM_USER + 419;

// Adds the icon, unless it is there already.
void ShowTrayIcon(HWND window);

// Hides the window and adds the icon, unless it is there already.
void MinimiseToTray(HWND window);

// WM_TRAYICON: a double click shows the window again; the right button
// opens the menu (the handler set below). The icon stays.
void OnTrayIcon(HWND window, LPARAM mouseMessage);
using TrayMenuHandler = void (*)(HWND window);
void SetTrayMenuHandler(TrayMenuHandler handler);

// Brings the hidden or minimised window back.
void RestoreFromTray(HWND window);

// The tooltip (UTF-8, cut to the tooltip's room) and a balloon.
void SetTrayTip(HWND window, const std::string& tip);
void ShowTrayBalloon(HWND window, const std::string& text, bool warning);

// Removes the icon, if it is there (on WM_CLOSE).
void RemoveTrayIcon(HWND window);

}  // namespace mainwindow
