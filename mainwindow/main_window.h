// The main window: the program's one window after sign-in. A borderless,
// rounded pop-up with its own caption; the folder tree on the left, the
// notice pane and later the message list on the right, the status label
// along the bottom.
#pragma once

#include <windows.h>

// Creates the main window, centred, with the notice pane (whose fetch
// starts) and the folder tree (which loads the folders at once), working on
// the program's Session. Called once after a successful sign-in; returns 0.
// The window posts the quit message when it is destroyed.
int CreateMainWindow(HINSTANCE instance);

// The main window, or nullptr before CreateMainWindow and after it closed.
HWND MainWindowHandle();

namespace mainwindow {

inline constexpr wchar_t kMainWindowClass[] = L"mwndclass";

// The main window's procedure.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace mainwindow
