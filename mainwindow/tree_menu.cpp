#include "mainwindow/tree_menu.h"

namespace mainwindow {

namespace {
const TreeMenuItem kOpen{IDM_OPEN_FOLDER, L"打开文件夹 (Ctrl + &O)"};
const TreeMenuItem kNew{IDM_NEW_FOLDER, L"新建文件夹 (Ctrl + &N)"};
const TreeMenuItem kRename{IDM_RENAME_FOLDER, L"重命名(Ctrl +&M)"};
const TreeMenuItem kDelete{IDM_DELETE_FOLDER, L"删除文件夹"};
const TreeMenuItem kEmpty{IDM_EMPTY_FOLDER, L"清空邮件(Ctrl + &E)"};
const TreeMenuItem kRefresh{IDM_REFRESH_FOLDERS, L"刷新列表  (F5)"};
const TreeMenuItem kProperties{IDM_FOLDER_PROPERTIES, L"属性(Ctrl + &P)"};
}  // namespace

std::vector<TreeMenuItem> TreeMenuItems(TreeItemKind kind) {
    if (kind == kKindAccount) return {{IDM_NEW_LOGIN, L"新登陆 (Ctrl + &n)"}};
    if (kind == kKindMailRoot) return {{IDM_EXPAND, L"展开 (Ctrl + &O)"}};
    if (IsRenamableKind(kind)) return {kOpen, kNew, kRename, kDelete, kEmpty, kRefresh, kProperties};
    if (IsOpenableKind(kind)) return {kOpen, kNew, kEmpty, kRefresh, kProperties};
    return {};
}

Menu BuildTreeMenu(TreeItemKind kind) {
    std::vector<TreeMenuItem> items = TreeMenuItems(kind);
    if (items.empty()) return Menu();
    Menu menu(CreatePopupMenu());
    for (const TreeMenuItem& item : items) AppendMenuW(menu.Get(), MF_STRING, item.command, item.text);
    return menu;
}

}  // namespace mainwindow
