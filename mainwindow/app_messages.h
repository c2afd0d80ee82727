// Messages that other threads and deferred work post to the main window.
// Each carries, in lParam, a heap object that the main window takes over.
#pragma once

#include <windows.h>

namespace mainwindow {

// A page of messages a worker listed (messagelist::MessagePage*).
constexpr UINT kMessagePageMessage = WM_APP + 1;
// The notice text the notice fetch brought (std::wstring*).
constexpr UINT kNoticeTextMessage = WM_APP + 2;
// A new text for the status label from a worker (std::wstring*).
constexpr UINT kStatusTextMessage = WM_APP + 3;
// Reload the folders and rebuild the tree once a label edit has ended (no
// lParam).
constexpr UINT kFolderTreeRebuildMessage = WM_APP + 4;

}  // namespace mainwindow
