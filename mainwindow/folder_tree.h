// The folder tree of the left pane: the account, "电子邮件" under it, and one
// item per mail folder of the account under that.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace mainwindow {

inline HWND folderTree = nullptr;
inline WNDPROC folderTreeOldProc = nullptr;
// The two items every rebuild begins with.
inline HTREEITEM accountItem = nullptr;
inline HTREEITEM mailRootItem = nullptr;

constexpr COLORREF kTreeBackground = RGB(255, 255, 255);
constexpr COLORREF kTreeSelectedBackground = RGB(255, 110, 165);

// Creates the tree in the left pane and fills it. Returns 0.
int CreateFolderTree();

// Empties the tree and inserts the account and mail root items, whose
// expansion loads the folders. The caller holds folderLock when it reloads
// the folder table as well.
void RebuildFolderTree();

// Reloads the folder table and puts one item per folder under `mailRoot`.
void LoadFolderItems(HTREEITEM mailRoot);

// The tree's replacement procedure: menu commands go to FolderTreeCommand.
LRESULT CALLBACK FolderTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_NOTIFY of the main window whose sender is the tree.
LRESULT FolderTreeNotify(NMHDR* header);

// The background of an item drawn in the given state (NM_CUSTOMDRAW).
COLORREF TreeItemBackground(UINT itemState);

}  // namespace mainwindow
