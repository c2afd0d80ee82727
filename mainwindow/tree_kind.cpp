#include "mainwindow/tree_kind.h"

namespace mainwindow {

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

std::uint32_t TreeItemData(HWND tree, HTREEITEM item) {
    if (!item) return 0;
    TVITEMW tvi{};
    tvi.mask = TVIF_PARAM | TVIF_HANDLE;
    tvi.hItem = item;
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi))) return 0;
    return static_cast<std::uint32_t>(tvi.lParam);
}

TreeItemKind ClassifyTreeItem(HWND tree, HTREEITEM item) {
    HTREEITEM parent = item ? TreeView_GetParent(tree, item) : nullptr;
    HTREEITEM grandparent = parent ? TreeView_GetParent(tree, parent) : nullptr;
    return ClassifyTreeData(TreeItemData(tree, item), TreeItemData(tree, parent), TreeItemData(tree, grandparent));
}

bool IsOpenableKind(TreeItemKind kind) {
    return kind >= kKindSmallFolderBase + 1 && kind <= kKindLargeFolder;
}

bool IsRenamableKind(TreeItemKind kind) {
    return kind > kKindFixedFolderLast && kind <= kKindLargeFolder;
}

std::uint32_t FolderIdToItemData(const char* idText) {
    if (!idText || *idText == '\0') return 0;
    std::uint64_t value = 0;
    for (const char* p = idText; *p; ++p) {
        if (*p < '0' || *p > '9') return 0;
        value = value * 10 + static_cast<std::uint64_t>(*p - '0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace mainwindow
