// The transfer list: a window of its own, owned by the main window, with
// one row per file (direction, name, size, percentage, speed, time left,
// state) and the buttons that pause, continue, cancel or retry the selected
// rows. A window rather than a pane below the file list: it can be shown
// from the tray while the main window is hidden, and it leaves the main
// window's layout alone. It is shown when files are queued.
//
// With it come the transfers' other faces: the tray's tooltip, balloon and
// menu, the offer to finish what an earlier run left ("继续传输") and the
// question before the main window closes with transfers unfinished.
#pragma once

#include <windows.h>

#include <memory>

#include "app/desktop.h"

namespace mainwindow {

// Makes the tray icon and the (hidden) list for the main window, and takes
// up the queue an earlier run of the account left: the offer to finish it
// comes once the message loop runs.
void AttachTransfers(HWND mainWindow, std::shared_ptr<app::Desktop> desktop);
// When the main window goes.
void DetachTransfers();
void ShowTransferPanel();
HWND TransferPanelWindow();

// WM_CLOSE of the main window: true when it may close (nothing unfinished,
// or the user said so: what is left is offered at the next start).
bool MayCloseWithTransfers(HWND mainWindow);

}  // namespace mainwindow
