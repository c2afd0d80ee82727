// What a folder tree item is, from the data of the item, its parent and its
// grandparent: the account, the mail root, or a folder and what may be done
// with it.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <string>

namespace mainwindow {

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

// The kind of an item of the tree; a null item is kind 0 data.
TreeItemKind ClassifyTreeItem(HWND tree, HTREEITEM item);

// Kinds that open (65538 to 65549), and of those the ones that can also be
// renamed and deleted (above 65542).
bool IsOpenableKind(TreeItemKind kind);
bool IsRenamableKind(TreeItemKind kind);

// An item's data as the unsigned 32-bit number it holds; 0 for no item.
std::uint32_t TreeItemData(HWND tree, HTREEITEM item);

// A folder id text read as decimal item data. An id that is not a decimal
// number, or does not fit 32 bits, gives 0, which offers no folder action,
// so no other folder can be reached through a cut number.
std::uint32_t FolderIdToItemData(const char* idText);

}  // namespace mainwindow
