// The main window. PLACEHOLDER: a plain window that shows the signed-in
// account, until the real main window (frame, tray icon, notice pane, folder
// tree) replaces this file and main_window.cpp.
#pragma once

#include <windows.h>

// Called once by the sign-in after a successful sign-in; returns 0. The
// window posts the quit message when it is destroyed.
int CreateMainWindow(HINSTANCE instance);

// The main window, or nullptr before CreateMainWindow.
HWND MainWindowHandle();
