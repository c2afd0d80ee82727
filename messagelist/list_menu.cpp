#include "messagelist/list_menu.h"

#include <commctrl.h>

#include "messagelist/list_selection.h"
#include "platform/text.h"
#include "signin/app_state.h"

namespace messagelist {

namespace {

MoveTargets& KeptTargets() {
    static MoveTargets kept;
    return kept;
}

MenuEntry Item(unsigned id, const wchar_t* text) {
    MenuEntry entry;
    entry.id = id;
    entry.text = text;
    return entry;
}

// A menu shows "&x" as an underlined x; a folder's name is shown as it is.
std::wstring MenuText(const std::string& utf8) {
    std::wstring text;
    for (wchar_t c : platform::Utf8ToWide(utf8)) {
        text.push_back(c);
        if (c == L'&') text.push_back(L'&');
    }
    return text;
}

MenuEntry MoveSubmenu(const MoveTargets& targets) {
    MenuEntry entry = Item(CmdMoveTo, L"移动到 =>");
    entry.opensSubmenu = true;
    entry.enabled = !targets.Empty();
    for (const MoveTarget& target : targets.Targets())
        entry.submenu.push_back(Item(target.command, MenuText(target.nameUtf8).c_str()));
    return entry;
}

bool AppendEntry(HMENU menu, const MenuEntry& entry) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
    info.wID = entry.id;
    info.dwTypeData = const_cast<wchar_t*>(entry.text.c_str());
    info.fState = entry.enabled ? MFS_ENABLED : MFS_DISABLED | MFS_GRAYED;
    OwnedMenu submenu;
    if (entry.opensSubmenu) {
        submenu = CreateListPopupMenu(entry.submenu);
        if (!submenu) return false;
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = submenu.get();
    }
    UINT position = static_cast<UINT>(GetMenuItemCount(menu));
    if (!InsertMenuItemW(menu, position, TRUE, &info)) return false;
    submenu.release();  // now the parent's
    return true;
}

}  // namespace

ListMenu BuildListMenu(bool rowSelected, const session::FolderTable& folders) {
    ListMenu menu;
    if (!rowSelected) {
        menu.entries.push_back(Item(CmdUploadFile, L"上传文件"));
        return menu;
    }
    menu.targets = MoveTargets::FromFolderTable(folders);
    menu.entries = {
        Item(CmdDownloadMail, L"下载邮件"), Item(CmdDownloadAttachment, L"下载附件"),
        MoveSubmenu(menu.targets),          Item(CmdDeleteRows, L"删除选择行"),
        Item(CmdUploadFile, L"上传文件"),   Item(CmdAttachmentsOnly, L"只看附件"),
        Item(CmdNextPage, L"下一页"),       Item(CmdProperties, L"属性"),
    };
    return menu;
}

OwnedMenu CreateListPopupMenu(const std::vector<MenuEntry>& entries) {
    OwnedMenu menu(CreatePopupMenu());
    if (!menu) return menu;
    for (const MenuEntry& entry : entries)
        if (!AppendEntry(menu.get(), entry)) return OwnedMenu();
    return menu;
}

const MoveTargets& ShownMoveTargets() {
    return KeptTargets();
}

void KeepMoveTargets(const ListMenu& menu) {
    KeptTargets() = menu.targets;
}

void ShowListMenu(HWND list) {
    ListMenu model = BuildListMenu(FirstSelectedItem(list) >= 0, ui::TheSession().folderTable);
    KeepMoveTargets(model);
    OwnedMenu menu = CreateListPopupMenu(model.entries);
    if (!menu) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    TrackPopupMenu(menu.get(), TPM_LEFTBUTTON, cursor.x, cursor.y, 0, list, nullptr);
}

}  // namespace messagelist
