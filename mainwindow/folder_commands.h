// The folder tree's context-menu commands and opening a folder.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "session/tables.h"

namespace mainwindow {

// A menu command that reached the tree; each acts on the selected item.
void FolderTreeCommand(WPARAM command);

// Opens a folder item: the notice pane goes, the message list comes, and the
// folder is listed into it.
void OpenFolderItem(HTREEITEM item);

// Shows a folder's newest page in the message list, with the folder title
// "name(unread/total)". Returns 0.
int OpenFolder(const std::string& folderId);

// "name(unread/total)" of the folder table's row for the id (UTF-8, at most
// 99 bytes); empty when no row has that id.
std::string FolderTitle(const session::FolderTable& table, const std::string& folderId);

}  // namespace mainwindow
