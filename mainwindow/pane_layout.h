// Placing the panes of the main window when its size changes.
#pragma once

#include <windows.h>

namespace mainwindow {

// WM_SIZE: the tree, the status label, and the message list or the notice
// pane, whichever exists, in a deferred batch; a minimised window then goes
// into the notification area.
void OnMainWindowSize(HWND window, WPARAM sizeType);

}  // namespace mainwindow
