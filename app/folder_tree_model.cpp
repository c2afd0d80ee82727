#include "app/folder_tree_model.h"

#include <algorithm>
#include <map>

#include "catalog/folder_tree.h"

namespace app {

namespace {
const TreeMenuItem kOpen{IDM_OPEN_FOLDER, "打开文件夹 (Ctrl + &O)"};
const TreeMenuItem kDownload{IDM_DOWNLOAD_FOLDER, "下载文件夹..."};
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

TreeItemKind ClassifyTreeChain(const std::vector<std::uint32_t>& upward) {
    auto at = [&](std::size_t i) { return i < upward.size() ? upward[i] : 0u; };
    if (upward.size() <= 3) return ClassifyTreeData(at(0), at(1), at(2));
    return ClassifyTreeData(upward.front(), upward[upward.size() - 2], upward.back());
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

std::vector<TreeFolderRow> NestFolders(const FolderList& folders) {
    constexpr std::size_t kTop = static_cast<std::size_t>(-1);
    const std::size_t n = folders.size();
    std::map<std::string, std::size_t> byId;
    for (std::size_t i = 0; i < n; ++i) byId.emplace(folders[i].id, i);
    std::vector<std::size_t> parent(n, kTop);
    for (std::size_t i = 0; i < n; ++i) {
        auto found = folders[i].parentId.empty() ? byId.end() : byId.find(folders[i].parentId);
        if (found != byId.end() && found->second != i) parent[i] = found->second;
    }
    // A loop of parents is cut at the first of its folders met: walking up
    // from it comes back to it. A walk longer than the list is in a loop
    // above, cut when its own folders come.
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t up = parent[i];
        for (std::size_t steps = 0; up != kTop && up != i && steps < n; ++steps) up = parent[up];
        if (up == i) parent[i] = kTop;
    }
    std::vector<std::vector<std::size_t>> children(n);
    std::vector<std::size_t> top;
    for (std::size_t i = 0; i < n; ++i) (parent[i] == kTop ? top : children[parent[i]]).push_back(i);
    std::vector<TreeFolderRow> rows;
    // Depth first without recursion: a deep chain from a mailbox cannot
    // exhaust the stack.
    std::vector<std::pair<std::size_t, std::size_t>> pending;  // folder, depth
    for (auto it = top.rbegin(); it != top.rend(); ++it) pending.push_back({*it, 0});
    while (!pending.empty()) {
        auto [folder, depth] = pending.back();
        pending.pop_back();
        rows.push_back({folder, depth, !children[folder].empty()});
        for (auto it = children[folder].rbegin(); it != children[folder].rend(); ++it)
            pending.push_back({*it, depth + 1});
    }
    return rows;
}

std::string FolderPathLabel(const FolderList& folders, std::size_t index) {
    if (index >= folders.size()) return {};
    std::string path = FolderLabel(folders[index].name);
    // At most one step per folder: a loop of parents ends.
    std::string parentId = folders[index].parentId;
    for (std::size_t steps = 0; !parentId.empty() && steps < folders.size(); ++steps) {
        auto parent = std::find_if(folders.begin(), folders.end(), [&](const Folder& f) { return f.id == parentId; });
        if (parent == folders.end() || parent == folders.begin() + static_cast<std::ptrdiff_t>(index)) break;
        path = FolderLabel(parent->name) + "/" + path;
        parentId = parent->parentId;
    }
    return path;
}

std::string FolderLabel(const std::string& name) {
    return catalog::NameToSegment(name);
}

std::string FolderNameFromLabel(const std::string& label) {
    return catalog::SegmentToName(label);
}

std::vector<TreeMenuItem> TreeMenuItems(TreeItemKind kind) {
    if (kind == kKindAccount) return {{IDM_NEW_LOGIN, "新登陆 (Ctrl + &n)"}};
    if (kind == kKindMailRoot) return {{IDM_EXPAND, "展开 (Ctrl + &O)"}};
    if (IsRenamableKind(kind)) return {kOpen, kDownload, kNew, kRename, kDelete, kEmpty, kRefresh, kProperties};
    if (IsOpenableKind(kind)) return {kOpen, kDownload, kNew, kEmpty, kRefresh, kProperties};
    return {};
}

}  // namespace app
