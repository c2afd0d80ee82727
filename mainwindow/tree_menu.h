// The folder tree's context menu, one per kind of item.
#pragma once

#include <windows.h>

#include <vector>

#include "mainwindow/tree_kind.h"
#include "mainwindow/win_handles.h"

namespace mainwindow {

constexpr UINT IDM_OPEN_FOLDER = 255;
constexpr UINT IDM_NEW_FOLDER = 256;
constexpr UINT IDM_RENAME_FOLDER = 257;
constexpr UINT IDM_DELETE_FOLDER = 258;
constexpr UINT IDM_EMPTY_FOLDER = 259;
constexpr UINT IDM_REFRESH_FOLDERS = 260;
constexpr UINT IDM_FOLDER_PROPERTIES = 261;
constexpr UINT IDM_EXPAND = 512;
constexpr UINT IDM_NEW_LOGIN = 513;

struct TreeMenuItem {
    UINT command;
    const wchar_t* text;
};

// The items of a kind's menu, in menu order; none for kind 0 (no menu).
std::vector<TreeMenuItem> TreeMenuItems(TreeItemKind kind);

// A new popup menu with those items; an empty Menu for kind 0.
Menu BuildTreeMenu(TreeItemKind kind);

}  // namespace mainwindow
