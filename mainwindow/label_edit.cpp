#include "mainwindow/label_edit.h"

#include <string>

#include "mainwindow/folder_refresh.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/tree_kind.h"
#include "platform/text.h"
#include "session/folders.h"
#include "signin/app_state.h"

namespace mainwindow {

LRESULT OnBeginLabelEdit(const NMTVDISPINFOW& info) {
    HTREEITEM item = info.item.hItem;
    if (TreeItemData(folderTree, item) == 0) return 1;
    // The account and mail root items carry 65537, which is no folder of
    // theirs: renaming them would rename whatever folder has that id.
    if (item == accountItem || item == mailRootItem) return 1;
    NoteLabelEditBegan();
    return 0;
}

LRESULT OnEndLabelEdit(const NMTVDISPINFOW& info) {
    NoteLabelEditEnded();
    if (!info.item.pszText) return 1;  // cancelled: nothing changes
    FolderWork work;
    std::string name = platform::WideToUtf8(info.item.pszText);
    std::string id = std::to_string(TreeItemData(folderTree, info.item.hItem));
    ui::AlertIfUnreachable(session::RenameFolder(ui::TheSession(), name, id), session::AlertedOperation::RenameFolder);
    // The tree shows the names the reloaded folder list reports; the edited
    // item goes with the rebuild, once the tree has finished the edit.
    ScheduleFolderTreeReload();
    return 0;
}

}  // namespace mainwindow
