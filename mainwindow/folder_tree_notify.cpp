// The tree's notifications, routed here by the main window.
#include "mainwindow/folder_commands.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/label_edit.h"
#include "mainwindow/tree_kind.h"
#include "mainwindow/tree_menu.h"

namespace mainwindow {

namespace {
LRESULT OnItemExpanding(const NMTREEVIEWW& change) {
    if (!(change.action & TVE_EXPAND)) return 0;
    if (ClassifyTreeItem(folderTree, change.itemNew.hItem) == kKindMailRoot) LoadFolderItems(change.itemNew.hItem);
    return 0;  // the expansion goes ahead
}

LRESULT OnCustomDraw(NMTVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT:
        draw.clrText = RGB(0, 0, 0);
        draw.clrTextBk = TreeItemBackground(draw.nmcd.uItemState);
        return CDRF_DODEFAULT;
    default: return 0;
    }
}

// The menu of the selected item (not of the item under the pointer: a
// right click does not select).
LRESULT OnRightClick() {
    TreeItemKind kind = ClassifyTreeItem(folderTree, TreeView_GetSelection(folderTree));
    Menu menu = BuildTreeMenu(kind);
    if (!menu.Get()) return 0;
    POINT pointer{};
    GetCursorPos(&pointer);
    // The tree owns the menu, so the command reaches FolderTreeProc.
    TrackPopupMenu(menu.Get(), 0, pointer.x, pointer.y, 0, folderTree, nullptr);
    return 0;
}

LRESULT OnDoubleClick() {
    HTREEITEM item = TreeView_GetSelection(folderTree);
    if (TreeItemData(folderTree, item) != 0 && IsOpenableKind(ClassifyTreeItem(folderTree, item))) OpenFolderItem(item);
    return 0;  // the tree still toggles an item with children
}
}  // namespace

LRESULT FolderTreeNotify(NMHDR* header) {
    switch (header->code) {
    case TVN_ITEMEXPANDINGW: return OnItemExpanding(*reinterpret_cast<NMTREEVIEWW*>(header));
    case TVN_BEGINLABELEDITW: return OnBeginLabelEdit(*reinterpret_cast<NMTVDISPINFOW*>(header));
    case TVN_ENDLABELEDITW: return OnEndLabelEdit(*reinterpret_cast<NMTVDISPINFOW*>(header));
    case NM_CUSTOMDRAW: return OnCustomDraw(*reinterpret_cast<NMTVCUSTOMDRAW*>(header));
    case NM_RCLICK: return OnRightClick();
    case NM_DBLCLK: return OnDoubleClick();
    default: return 0;
    }
}

}  // namespace mainwindow
