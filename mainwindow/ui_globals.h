// The user-interface state that the main window, the folder tree, the notice
// pane and the message list share. Set up by static initialisation before
// the program's entry point runs and released at process exit. Everything
// here belongs to the user-interface thread unless its comment says
// otherwise.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "mainwindow/win_handles.h"

namespace mainwindow {

// The main window; recorded at the end of WM_CREATE, so the first WM_SIZE
// (sent while the window is created) already finds it.
inline HWND mainWindow = nullptr;

// Boundary between the folder tree pane and the right pane: 0 until the
// main window is created, then 200.
inline int treePaneWidth = 0;
constexpr int kTreePaneWidth = 200;

// Held around every reload of the Session's folderTable together with the
// rebuild of the tree. The folderTable belongs to the user-interface thread;
// no other thread reads or writes it.
inline CriticalSection folderLock;

// Held by the progress timer around its whole run.
inline CriticalSection progressLock;

// The handles of the transfer progress display (its text is composed in
// UTF-16 by the progress timer itself).
inline UINT_PTR progressTimerId = 0;
inline HANDLE uploadThread = nullptr;
inline HANDLE downloadThread = nullptr;

// The folder whose page the message list shows, as decimal text (at most 14
// characters); empty until a folder is first opened. Written by the folder
// tree on the user-interface thread and read by transfer workers, hence the
// accessors, which copy it under a lock of their own.
constexpr std::size_t kFolderIdBytes = 15;
std::string CurrentFolderId();
void SetCurrentFolderId(const std::string& folderId);

}  // namespace mainwindow
