// The message list's context menu as data: its entries, and the folders of
// the "移动到 =>" submenu with the command of each.
//
// A menu command reaches the list as the low 16 bits of WM_COMMAND's
// wParam, so a folder id (the provider's user folders start at 65550)
// cannot be the command itself. Each offered folder gets a small command
// number instead, counted from kFirstMoveCommand, and the menu's targets turn
// the chosen number back into the folder's id.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/model.h"

namespace app {

enum ListCommand : unsigned {
    CmdDownloadMail = 1,
    CmdDownloadAttachment = 2,
    CmdMoveTo = 3,  // the submenu entry; sends no command itself
    CmdDeleteRows = 4,
    CmdUploadFile = 5,
    CmdAttachmentsOnly = 6,
    CmdNextPage = 7,
    CmdProperties = 8,
    // Of the main window's menus and keys.
    CmdSelectAll = 9,
    CmdFileView = 10,
    CmdMailView = 11,
    CmdOpen = 12,  // Enter: a file is fetched, as "下载"
};

// Only folders whose id is at least this are offered as move targets.
constexpr std::uint64_t kMovableFolderMinId = 4096;
// A menu of more folders than this would run off the screen.
constexpr unsigned kMostMoveTargets = 100;
// Above the fixed commands 1 to 12; one number per move target.
constexpr unsigned kFirstMoveCommand = 1000;
constexpr unsigned kLastMoveCommand = kFirstMoveCommand + kMostMoveTargets - 1;

struct MoveTarget {
    unsigned command;
    std::string folderId;
    std::string name;  // UTF-8, where it is: "工作文档/2026"
};

struct MenuEntry {
    unsigned id = 0;
    std::string text;  // UTF-8, as the menu shows it
    bool enabled = true;
    std::vector<MenuEntry> submenu;  // what the CmdMoveTo entry opens (may be empty)
};

struct ListMenu {
    std::vector<MenuEntry> entries;
    std::vector<MoveTarget> targets;  // what the submenu's commands stand for
};

// No selected row: only "上传文件". Otherwise the full menu, with the
// "移动到 =>" submenu of the folders that can take messages (greyed when
// there is none). A "&" in a folder's name is doubled so the menu shows it.
ListMenu BuildListMenu(bool rowSelected, const FolderList& folders);

// The folder id of a move command of that menu; nothing for a number the
// menu did not hand out.
std::optional<std::string> MoveTargetFor(const ListMenu& menu, unsigned command);

}  // namespace app
