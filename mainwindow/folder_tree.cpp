#include "mainwindow/folder_tree.h"

#include "mainwindow/folder_commands.h"
#include "mainwindow/tree_kind.h"
#include "mainwindow/ui_globals.h"
#include "messagelist/text_convert.h"
#include "platform/text.h"
#include "session/folders.h"
#include "session/tables.h"
#include "signin/app_state.h"

namespace mainwindow {

namespace {
// Folder names get 149 units and the terminator.
constexpr std::size_t kFolderNameUnits = 150;

HTREEITEM InsertItem(HTREEITEM parent, const wchar_t* text, std::uint32_t data, int children) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = const_cast<wchar_t*>(text);
    insert.item.lParam = static_cast<LPARAM>(data);
    insert.item.cChildren = children;
    return reinterpret_cast<HTREEITEM>(SendMessageW(folderTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

void DeleteChildren(HTREEITEM item) {
    while (HTREEITEM child = TreeView_GetChild(folderTree, item)) TreeView_DeleteItem(folderTree, child);
}
}  // namespace

int CreateFolderTree() {
    RECT client{};
    GetClientRect(mainWindow, &client);
    folderTree = CreateWindowExW(
        0, WC_TREEVIEWW, L"",
        WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS, 3,
        25, treePaneWidth - 5, client.bottom - 50, mainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!folderTree) return 0;
    folderTreeOldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(folderTree, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FolderTreeProc)));
    SendMessageW(folderTree, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(kTreeBackground));
    RebuildFolderTree();
    return 0;
}

void RebuildFolderTree() {
    if (!folderTree) return;
    TreeView_DeleteItem(folderTree, TVI_ROOT);
    accountItem = mailRootItem = nullptr;
    std::wstring account = platform::AnsiToWide(ui::TheSession().accountName);
    accountItem = InsertItem(TVI_ROOT, account.c_str(), kRootItemData, 1);
    mailRootItem = InsertItem(accountItem, L"电子邮件", kRootItemData, 1);
    // The first expansion of the fresh mail root item loads the folders.
    TreeView_Expand(folderTree, accountItem, TVE_EXPAND);
    TreeView_Expand(folderTree, mailRootItem, TVE_EXPAND);
}

void LoadFolderItems(HTREEITEM mailRoot) {
    session::Session& session = ui::TheSession();
    SectionLock lock(folderLock);
    session::ClearFolderTable(session.folderTable);
    session::GetAllFolders(session);
    DeleteChildren(mailRoot);
    for (std::size_t i = 0; i < session::kFolderRows && session.folderTable.rows[i].name[0] != '\0'; ++i) {
        const session::FolderRow& row = session.folderTable.rows[i];
        wchar_t name[kFolderNameUnits];
        messagelist::Utf8ToWide(row.name, name);
        InsertItem(mailRoot, name, FolderIdToItemData(row.id), 0);
    }
}

LRESULT CALLBACK FolderTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) FolderTreeCommand(wParam);
    return CallWindowProcW(folderTreeOldProc, window, message, wParam, lParam);
}

COLORREF TreeItemBackground(UINT itemState) {
    bool selected = itemState == CDIS_SELECTED || itemState == (CDIS_SELECTED | CDIS_FOCUS);
    return selected ? kTreeSelectedBackground : kTreeBackground;
}

}  // namespace mainwindow
