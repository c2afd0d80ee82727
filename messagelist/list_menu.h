// The list's context menu: built anew for every right click, first as plain
// data (what a test reads), then as the popup menu the list view shows.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "messagelist/move_targets.h"
#include "session/tables.h"

namespace messagelist {

// Commands of the context menu, fixed per menu.
enum ListCommand : unsigned {
    CmdDownloadMail = 1,
    CmdDownloadAttachment = 2,
    CmdMoveTo = 3,  // the submenu entry; sends no command itself
    CmdDeleteRows = 4,
    CmdUploadFile = 5,
    CmdAttachmentsOnly = 6,
    CmdNextPage = 7,
    CmdProperties = 8,
};

struct MenuEntry {
    unsigned id = 0;
    std::wstring text;
    bool enabled = true;
    bool opensSubmenu = false;
    std::vector<MenuEntry> submenu;
};

struct ListMenu {
    std::vector<MenuEntry> entries;
    MoveTargets targets;  // what the submenu's commands stand for
};

// No selected row: only "上传文件". Otherwise the full menu, with the
// "移动到 =>" submenu of the folders that can take messages (greyed when
// there is none).
ListMenu BuildListMenu(bool rowSelected, const session::FolderTable& folders);

struct MenuDestroyer {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
// Owns a menu; destroying a menu also destroys the submenus inserted in it.
using OwnedMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

// The popup menu for the entries; empty when the system has no menu to give.
OwnedMenu CreateListPopupMenu(const std::vector<MenuEntry>& entries);

// NM_RCLICK on the list: builds the menu from the current selection and
// folder table, keeps its move targets for the command that follows, and
// shows it at the cursor, owned by the list view, so the chosen command
// arrives at the list's window procedure. User-interface thread.
void ShowListMenu(HWND list);

// The move targets of the menu shown last (user-interface thread).
const MoveTargets& ShownMoveTargets();
// Makes `menu`'s targets the ones the next move command is read against;
// ShowListMenu does this itself.
void KeepMoveTargets(const ListMenu& menu);

}  // namespace messagelist
