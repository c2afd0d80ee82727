// The main window's size, position and maximised state, kept between runs
// beside the program's other settings (HKEY_CURRENT_USER\SOFTWARE\Vantlo).
#pragma once

#include <windows.h>

namespace mainwindow {

// Writes where the window stands now (its restored bounds and whether it
// is maximised).
void SaveWindowPlacement(HWND window);
// Puts the window where the last run left it, if that is still on a screen
// and not smaller than the window may be; false (nothing changed) otherwise.
bool RestoreWindowPlacement(HWND window, int minWidth, int minHeight);

}  // namespace mainwindow
