#include "app/folder_tree_model.h"

#include "app/model.h"

namespace app {

namespace {
const TreeMenuItem kOpen{IDM_OPEN_FOLDER, "打开文件夹 (Ctrl + &O)"};
const TreeMenuItem kNew{IDM_NEW_FOLDER, "新建文件夹 (Ctrl + &N)"};
const TreeMenuItem kRename{IDM_RENAME_FOLDER, "重命名(Ctrl +&M)"};
const TreeMenuItem kDelete{IDM_DELETE_FOLDER, "删除文件夹"};
const TreeMenuItem kEmpty{IDM_EMPTY_FOLDER, "清空邮件(Ctrl + &E)"};
const TreeMenuItem kRefresh{IDM_REFRESH_FOLDERS, "刷新列表  (F5)"};
const TreeMenuItem kProperties{IDM_FOLDER_PROPERTIES, "属性(Ctrl + &P)"};
}  // namespace

TreeItemKind ClassifyTreeData(std::uint32_t item, std::uint32_t parent, std::uint32_t grandparent) {
    if (parent == 0) return kKindAccount;
    std::uint32_t top = grandparent == 0 ? parent : grandparent;
    std::uint32_t mid = grandparent == 0 ? item : parent;
    std::uint32_t leaf = grandparent == 0 ? 0 : item;
    if (top != kRootItemData || mid != kRootItemData) return kKindNone;
    if (leaf == 0) return kKindMailRoot;
    if (leaf <= 10) return kKindSmallFolderBase + leaf;
    if (leaf >= kLargeFolderIdFirst) return kKindLargeFolder;
    return kKindNone;
}

bool IsOpenableKind(TreeItemKind kind) {
    return kind > kKindSmallFolderBase && kind <= kKindLargeFolder;
}

bool IsRenamableKind(TreeItemKind kind) {
    return kind > kKindFixedFolderLast && kind <= kKindLargeFolder;
}

std::uint32_t FolderIdToItemData(const std::string& id) {
    std::optional<std::uint64_t> value = ReadFolderId(id);
    return value && *value <= 0xFFFFFFFFull ? static_cast<std::uint32_t>(*value) : 0;
}

std::vector<TreeMenuItem> TreeMenuItems(TreeItemKind kind) {
    if (kind == kKindAccount) return {{IDM_NEW_LOGIN, "新登陆 (Ctrl + &n)"}};
    if (kind == kKindMailRoot) return {{IDM_EXPAND, "展开 (Ctrl + &O)"}};
    if (IsRenamableKind(kind)) return {kOpen, kNew, kRename, kDelete, kEmpty, kRefresh, kProperties};
    if (IsOpenableKind(kind)) return {kOpen, kNew, kEmpty, kRefresh, kProperties};
    return {};
}

}  // namespace app
