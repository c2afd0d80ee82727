#include "mainwindow/folder_commands.h"

#include <string>

#include "mainwindow/folder_refresh.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/tree_kind.h"
#include "mainwindow/tree_menu.h"
#include "platform/text.h"
#include "session/folders.h"
#include "signin/app_state.h"

namespace mainwindow {

namespace {
constexpr wchar_t kNewFolderName[] = L"新文件夹";

HTREEITEM SelectedItem() {
    return TreeView_GetSelection(folderTree);
}

// The selected item when it is a folder item of one of the given kinds.
HTREEITEM SelectedFolder(bool (*kindTest)(TreeItemKind)) {
    HTREEITEM item = SelectedItem();
    if (!item || TreeItemData(folderTree, item) == 0) return nullptr;
    return kindTest(ClassifyTreeItem(folderTree, item)) ? item : nullptr;
}

void NewFolder() {
    HTREEITEM selected = SelectedItem();
    HTREEITEM parent = TVI_ROOT;
    if (selected && TreeItemData(folderTree, selected) != 0) parent = TreeView_GetParent(folderTree, selected);
    if (!parent) parent = TVI_ROOT;

    std::string newId;
    session::Status status;
    {
        FolderWork work;
        status = session::CreateUserFolder(ui::TheSession(), platform::WideToUtf8(kNewFolderName), newId);
    }
    ui::AlertIfUnreachable(status, session::AlertedOperation::CreateFolder);
    // No folder exists after a failed connection.
    if (status == session::Status::ConnectFailed || status == session::Status::RequestTooLarge) return;

    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = const_cast<wchar_t*>(kNewFolderName);
    insert.item.lParam = static_cast<LPARAM>(FolderIdToItemData(newId.c_str()));
    insert.item.cChildren = 0;
    auto item =
        reinterpret_cast<HTREEITEM>(SendMessageW(folderTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    // The name given in the edit renames the folder; a cancelled edit leaves
    // it named "新文件夹".
    if (item) TreeView_EditLabel(folderTree, item);
}

void DeleteSelectedFolder() {
    HTREEITEM item = SelectedFolder(IsRenamableKind);
    if (!item) return;
    std::string id = std::to_string(TreeItemData(folderTree, item));
    {
        FolderWork work;
        ui::AlertIfUnreachable(session::DeleteFolder(ui::TheSession(), id), session::AlertedOperation::DeleteFolder);
    }
    // Gone at once; a folder the provider kept comes back with the next reload.
    TreeView_DeleteItem(folderTree, item);
}
}  // namespace

void FolderTreeCommand(WPARAM command) {
    switch (command) {
    case IDM_OPEN_FOLDER:
        if (HTREEITEM item = SelectedFolder(IsOpenableKind)) OpenFolderItem(item);
        break;
    case IDM_NEW_FOLDER: NewFolder(); break;
    case IDM_RENAME_FOLDER:
        if (HTREEITEM item = SelectedFolder(IsRenamableKind)) TreeView_EditLabel(folderTree, item);
        break;
    case IDM_DELETE_FOLDER: DeleteSelectedFolder(); break;
    case IDM_REFRESH_FOLDERS: RequestFolderTreeReload(); break;
    default: break;  // empty folder, properties, expand, new sign-in: no action
    }
}

}  // namespace mainwindow
