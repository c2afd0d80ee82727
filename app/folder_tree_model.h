// What a folder tree item is, from the data of the item, its parent and its
// grandparent (the account, the mail root, or a folder, and what may be done
// with it), the context menu each kind offers, and where each folder goes
// in the tree: folders nest, a directory of the drive inside another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/model.h"

namespace app {

using TreeItemKind = std::uint32_t;

constexpr TreeItemKind kKindNone = 0;          // a folder item that offers nothing
constexpr TreeItemKind kKindAccount = 65536;   // the account item
constexpr TreeItemKind kKindMailRoot = 65537;  // "电子邮件" (and a folder item of id 0)
constexpr TreeItemKind kKindLargeFolder = 65549;
// Folders 1 to 10 are kinds 65538 to 65547.
constexpr TreeItemKind kKindSmallFolderBase = 65537;
// Items above this kind can be renamed and deleted from the menu.
constexpr TreeItemKind kKindFixedFolderLast = 65542;

// Item data of the account and mail root items.
constexpr std::uint32_t kRootItemData = 65537;
// Folder ids from this one on are the large-id kind.
constexpr std::uint32_t kLargeFolderIdFirst = 65550;

// The kind from the data of an item, its parent and its grandparent (0 for
// a missing item).
TreeItemKind ClassifyTreeData(std::uint32_t item, std::uint32_t parent, std::uint32_t grandparent);

// The kind of an item from its data and that of each item above it, up to
// the account item (last). A folder nested at any depth below the mail root
// is the kind its id gives, as one right under it.
TreeItemKind ClassifyTreeChain(const std::vector<std::uint32_t>& upward);

// Kinds that open (65538 to 65549), and of those the ones that can also be
// renamed and deleted (above 65542).
bool IsOpenableKind(TreeItemKind kind);
bool IsRenamableKind(TreeItemKind kind);

// A folder id text as item data. An id that is not a decimal number, or
// does not fit 32 bits, gives 0, which offers no folder action, so no other
// folder can be reached through a cut number.
std::uint32_t FolderIdToItemData(const std::string& id);

// A folder item of the tree, in the order the items are inserted: every
// folder right after its parent's subtree has begun, siblings in the order
// the mailbox listed them. depth 0 is right under the mail root.
struct TreeFolderRow {
    std::size_t folder;  // index into the folder list
    std::size_t depth;
    bool hasChildren;
};

// A folder whose parent is not in the list, or whose parents run in a loop
// (a mailbox's say, so hostile), is put at the top: none is lost, none
// shows twice.
std::vector<TreeFolderRow> NestFolders(const FolderList& folders);

// Where a folder is, as the menus that name folders show it: the labels of
// its parents and its own, "/" between them ("工作文档/2026/三月").
std::string FolderPathLabel(const FolderList& folders, std::size_t index);

// The text of a folder item: a "/" in the name shows as "／", as the drive's
// paths show it. The user's "／" in a new name is a "/" again (FolderNameFromLabel).
std::string FolderLabel(const std::string& name);
std::string FolderNameFromLabel(const std::string& label);

enum TreeCommand : unsigned {
    IDM_OPEN_FOLDER = 255,
    IDM_NEW_FOLDER = 256,
    IDM_RENAME_FOLDER = 257,
    IDM_DELETE_FOLDER = 258,
    IDM_EMPTY_FOLDER = 259,
    IDM_REFRESH_FOLDERS = 260,
    IDM_FOLDER_PROPERTIES = 261,
    IDM_DOWNLOAD_FOLDER = 262,
    IDM_NEW_VAULT = 263,  // 工具 → 新建保险箱
    IDM_EXPAND = 512,
    IDM_NEW_LOGIN = 513,
};

struct TreeMenuItem {
    unsigned command;
    const char* text;  // UTF-8
};

// The items of a kind's menu, in menu order; none for kind 0 (no menu).
std::vector<TreeMenuItem> TreeMenuItems(TreeItemKind kind);

}  // namespace app
