#include "app/list_menu_model.h"

#include "app/folder_tree_model.h"

namespace app {

namespace {
MenuEntry Item(unsigned id, std::string text) {
    MenuEntry entry;
    entry.id = id;
    entry.text = std::move(text);
    return entry;
}

std::string MenuText(const std::string& name) {
    std::string text;
    for (char c : name) {
        text.push_back(c);
        if (c == '&') text.push_back('&');
    }
    return text;
}

// In the tree's order, each named by where it is: two folders of one name
// in different places are told apart.
std::vector<MoveTarget> MoveTargets(const FolderList& folders) {
    std::vector<MoveTarget> targets;
    for (const TreeFolderRow& row : NestFolders(folders)) {
        if (targets.size() == kMostMoveTargets) break;
        std::optional<std::uint64_t> id = ReadFolderId(folders[row.folder].id);
        if (!id || *id < kMovableFolderMinId) continue;
        unsigned command = kFirstMoveCommand + static_cast<unsigned>(targets.size());
        targets.push_back(MoveTarget{command, std::to_string(*id), FolderPathLabel(folders, row.folder)});
    }
    return targets;
}
}  // namespace

ListMenu BuildListMenu(bool rowSelected, const FolderList& folders) {
    ListMenu menu;
    if (!rowSelected) {
        menu.entries.push_back(Item(CmdUploadFile, "上传文件"));
        return menu;
    }
    menu.targets = MoveTargets(folders);
    MenuEntry move = Item(CmdMoveTo, "移动到 =>");
    move.enabled = !menu.targets.empty();
    for (const MoveTarget& target : menu.targets) move.submenu.push_back(Item(target.command, MenuText(target.name)));
    menu.entries = {Item(CmdDownloadMail, "下载原始邮件..."),
                    Item(CmdDownloadAttachment, "下载...\tEnter"),
                    move,
                    Item(CmdDeleteRows, "删除...\tDel"),
                    Item(CmdUploadFile, "上传文件"),
                    Item(CmdAttachmentsOnly, "只看附件"),
                    Item(CmdNextPage, "下一页"),
                    Item(CmdProperties, "属性")};
    return menu;
}

std::optional<std::string> MoveTargetFor(const ListMenu& menu, unsigned command) {
    if (command < kFirstMoveCommand || command > kLastMoveCommand) return std::nullopt;
    std::size_t index = command - kFirstMoveCommand;
    if (index >= menu.targets.size()) return std::nullopt;
    return menu.targets[index].folderId;
}

}  // namespace app
