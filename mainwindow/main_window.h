// The main window: the program's one window after sign-in. A borderless,
// rounded pop-up with its own caption; the folder tree on the left, the
// notice pane and later the message list on the right, the status label
// along the bottom. It shows what the desktop tells it and hands what the
// user does to it.
#pragma once

#include <windows.h>

#include <memory>

#include "app/desktop.h"

namespace mainwindow {

inline constexpr wchar_t kMainWindowClass[] = L"mwndclass";

// Creates the main window, centred, with the notice pane (whose text the
// desktop fetches) and the folder tree (which loads the folders at once).
// Returns the window, in which other views may place panes of their own;
// null when the system would not make it. The window posts the quit
// message when it is destroyed.
HWND CreateMainWindow(HINSTANCE instance, std::shared_ptr<app::Desktop> desktop);

// The keys of the main window, for the message loop: Tab and Shift+Tab move
// between the tree, the list and the search box; in the tree Enter opens,
// Delete deletes (asking) and F2 renames the folder; in the list Enter
// fetches, Delete deletes (asking) and Ctrl+A selects all files; anywhere
// Ctrl+O opens the selected folder, Ctrl+N makes a folder, Ctrl+E empties
// the selected one, Ctrl+P shows its properties, F5 reloads the tree and the
// list. True when the key was one of them (it is then handled).
bool TranslateMainWindowKey(const MSG& message);

}  // namespace mainwindow
