#include "mainwindow/folder_tree.h"

#include "mainwindow/padlock.h"
#include "mainwindow/vault_dialogs.h"

#include "app/file_texts.h"
#include "app/layout.h"
#include "app/ui_thread.h"
#include "platform/text.h"
#include "platform/ui_seams.h"
#include "platform/win_handles.h"

namespace mainwindow {

namespace {
constexpr COLORREF kTreeBackground = RGB(255, 255, 255);
constexpr COLORREF kTreeSelectedBackground = RGB(255, 110, 165);
constexpr wchar_t kNewFolderName[] = L"新文件夹";
constexpr wchar_t kEmptyFolderCaption[] = L"清空文件夹";
constexpr wchar_t kDeleteFolderCaption[] = L"删除文件夹";
// Folder names get 149 units.
constexpr std::size_t kFolderNameUnits = 149;

}  // namespace

LRESULT FolderTree::OnCustomDraw(NMTVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT: {
        UINT state = draw.nmcd.uItemState;
        bool selected = state == CDIS_SELECTED || state == (CDIS_SELECTED | CDIS_FOCUS);
        draw.clrText = RGB(0, 0, 0);
        draw.clrTextBk = selected ? kTreeSelectedBackground : kTreeBackground;
        return CDRF_NOTIFYPOSTPAINT;
    }
    case CDDS_ITEMPOSTPAINT: {
        auto item = reinterpret_cast<HTREEITEM>(draw.nmcd.dwItemSpec);
        if (item == account_ || item == mailRoot_ || draw.nmcd.lItemlParam == 0) return 0;
        app::VaultState vault = desktop_->FolderVault(std::to_string(draw.nmcd.lItemlParam));
        RECT text{};
        if (vault == app::VaultState::None || !TreeView_GetItemRect(tree_, item, &text, TRUE)) return 0;
        DrawPadlock(draw.nmcd.hdc, text.right + 4, (text.top + text.bottom) / 2, vault == app::VaultState::Open);
        return 0;
    }
    default: return 0;
    }
}

void FolderTree::CreateFolderTree(HWND frame, std::shared_ptr<app::Desktop> desktop) {
    desktop_ = std::move(desktop);
    RECT client{};
    GetClientRect(frame, &client);
    app::Bounds b = app::FolderTreeBounds(client.right, client.bottom);
    tree_ = CreateWindowExW(
        0, WC_TREEVIEWW, L"",
        WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS,
        b.x, b.y, b.width, b.height, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!tree_) return;
    SetWindowLongPtrW(tree_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previousProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(tree_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FolderTree::FolderTreeProc)));
    SendMessageW(tree_, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(kTreeBackground));
    desktop_->AddView(*this);
    RebuildFolderTree();
}

void FolderTree::Forget() {
    if (desktop_) desktop_->RemoveView(*this);
    *this = FolderTree();
}

LRESULT CALLBACK FolderTree::FolderTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FolderTree*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    WNDPROC previous = self->previousProc_;
    if (message == WM_COMMAND) self->FolderTreeCommand(static_cast<unsigned>(wParam));
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

std::uint32_t FolderTree::ItemData(HTREEITEM item) const {
    if (!item) return 0;
    TVITEMW tvi{};
    tvi.mask = TVIF_PARAM | TVIF_HANDLE;
    tvi.hItem = item;
    if (!SendMessageW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi))) return 0;
    return static_cast<std::uint32_t>(tvi.lParam);
}

app::TreeItemKind FolderTree::ClassifyTreeItem(HTREEITEM item) const {
    std::vector<std::uint32_t> upward;
    for (HTREEITEM at = item; at; at = TreeView_GetParent(tree_, at)) upward.push_back(ItemData(at));
    return app::ClassifyTreeChain(upward);
}

HTREEITEM FolderTree::Insert(HTREEITEM parent, const std::wstring& text, std::uint32_t data, int children) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = static_cast<LPARAM>(data);
    insert.item.cChildren = children;
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

// Depth first over the folder items, without recursion; stops at the
// first item `visit` says true for, and returns it.
HTREEITEM FolderTree::FindFolderItem(const std::function<bool(HTREEITEM)>& visit) const {
    if (!mailRoot_) return nullptr;
    std::vector<HTREEITEM> pending;
    for (HTREEITEM c = TreeView_GetChild(tree_, mailRoot_); c; c = TreeView_GetNextSibling(tree_, c))
        pending.push_back(c);
    while (!pending.empty()) {
        HTREEITEM item = pending.back();
        pending.pop_back();
        if (visit(item)) return item;
        for (HTREEITEM c = TreeView_GetChild(tree_, item); c; c = TreeView_GetNextSibling(tree_, c))
            pending.push_back(c);
    }
    return nullptr;
}

// A folder the user closed stays closed when the tree is filled again. A
// tree emptied for a rebuild keeps what was noted before.
void FolderTree::NoteClosedFolders() {
    if (!mailRoot_ || !TreeView_GetChild(tree_, mailRoot_)) return;
    closedFolders_.clear();
    FindFolderItem([&](HTREEITEM item) {
        if (TreeView_GetChild(tree_, item) && !(TreeView_GetItemState(tree_, item, TVIS_EXPANDED) & TVIS_EXPANDED))
            closedFolders_.insert(ItemData(item));
        return false;
    });
}

HTREEITEM FolderTree::FolderItem(std::uint32_t data) const {
    if (data == 0) return nullptr;
    return FindFolderItem([&](HTREEITEM item) { return ItemData(item) == data; });
}

void FolderTree::RebuildFolderTree() {
    if (!tree_) return;
    if (editing_) {
        rebuildDeferred_ = true;
        return;
    }
    rebuildDeferred_ = false;
    fillDeferred_.reset();
    NoteClosedFolders();
    TreeView_DeleteItem(tree_, TVI_ROOT);
    account_ = Insert(TVI_ROOT, platform::AnsiToWide(desktop_->AccountName()), app::kRootItemData, 1);
    mailRoot_ = Insert(account_, L"电子邮件", app::kRootItemData, 1);
    // The first expansion of the fresh mail root item loads the folders. An
    // item without children yet may expand without telling (Wine's tree
    // does): then the load is asked for here.
    loadAsked_ = false;
    TreeView_Expand(tree_, account_, TVE_EXPAND);
    TreeView_Expand(tree_, mailRoot_, TVE_EXPAND);
    if (!loadAsked_) desktop_->LoadFolders();
}

LRESULT FolderTree::OnExpanding(const NMTREEVIEWW& change) {
    if (filling_ || !(change.action & TVE_EXPAND) || ClassifyTreeItem(change.itemNew.hItem) != app::kKindMailRoot)
        return 0;
    loadAsked_ = true;
    desktop_->LoadFolders();
    return 0;  // the expansion goes ahead
}

void FolderTree::FoldersLoaded(const app::FolderList& folders) {
    if (!tree_) return;
    if (editing_) {
        fillDeferred_ = folders;
        return;
    }
    Fill(folders);
}

void FolderTree::Fill(const app::FolderList& folders) {
    if (!mailRoot_) return;
    NoteClosedFolders();
    while (HTREEITEM child = TreeView_GetChild(tree_, mailRoot_)) TreeView_DeleteItem(tree_, child);
    // Rows come parents first: the item of each depth's latest row is the
    // parent of the next row one deeper.
    std::vector<HTREEITEM> parents{mailRoot_};
    std::vector<HTREEITEM> withChildren;
    for (const app::TreeFolderRow& row : app::NestFolders(folders)) {
        const app::Folder& folder = folders[row.folder];
        parents.resize(row.depth + 1);
        std::wstring text = platform::CutWide(platform::Utf8ToWide(app::FolderLabel(folder.name)), kFolderNameUnits);
        HTREEITEM item = Insert(parents.back(), text, app::FolderIdToItemData(folder.id), row.hasChildren ? 1 : 0);
        parents.push_back(item);
        if (row.hasChildren && !closedFolders_.count(app::FolderIdToItemData(folder.id))) withChildren.push_back(item);
    }
    // The items came after the expansion that asked for them: show them,
    // the nested ones too.
    filling_ = true;
    TreeView_Expand(tree_, mailRoot_, TVE_EXPAND);
    for (HTREEITEM item : withChildren) TreeView_Expand(tree_, item, TVE_EXPAND);
    filling_ = false;
}

// Runs once the tree has finished the notification that ended an edit: the
// items it still works on must outlive it.
void FolderTree::ApplyDeferred() {
    if (!tree_ || editing_) return;
    if (rebuildDeferred_) {
        RebuildFolderTree();
    } else if (fillDeferred_) {
        app::FolderList folders = std::move(*fillDeferred_);
        fillDeferred_.reset();
        Fill(folders);
    }
}

LRESULT FolderTree::OnBeginEdit(const NMTVDISPINFOW& info) {
    HTREEITEM item = info.item.hItem;
    // The account and mail root items carry 65537, which is no folder of
    // theirs: renaming them would rename whatever folder has that id.
    if (ItemData(item) == 0 || item == account_ || item == mailRoot_) return 1;
    editing_ = true;
    return 0;
}

LRESULT FolderTree::OnEndEdit(const NMTVDISPINFOW& info) {
    editing_ = false;
    if (rebuildDeferred_ || fillDeferred_) app::PostToUiThread([this] { ApplyDeferred(); });
    if (!info.item.pszText) return 1;  // cancelled: nothing changes
    // The tree shows the names the provider reports once the rename has
    // been answered; the edited item goes with that rebuild.
    desktop_->RenameFolder(std::to_string(ItemData(info.item.hItem)),
                           app::FolderNameFromLabel(platform::WideToUtf8(info.item.pszText)));
    return 0;
}

// The menu of the selected item (not of the item under the pointer: a
// right click does not select).
LRESULT FolderTree::OnRightClick() {
    ui::Menu menu;
    for (const app::TreeMenuItem& item : app::TreeMenuItems(ClassifyTreeItem(TreeView_GetSelection(tree_)))) {
        if (!menu) menu = ui::Menu::Popup();
        AppendMenuW(menu.Get(), MF_STRING, item.command, platform::Utf8ToWide(item.text).c_str());
    }
    if (!menu) return 0;
    POINT pointer{};
    GetCursorPos(&pointer);
    // The tree owns the menu, so the command reaches FolderTree::FolderTreeProc.
    TrackPopupMenu(menu.Get(), 0, pointer.x, pointer.y, 0, tree_, nullptr);
    return 0;
}

LRESULT FolderTree::FolderTreeNotify(NMHDR* header) {
    switch (header->code) {
    case TVN_ITEMEXPANDINGW: return OnExpanding(*reinterpret_cast<NMTREEVIEWW*>(header));
    case TVN_BEGINLABELEDITW: return OnBeginEdit(*reinterpret_cast<NMTVDISPINFOW*>(header));
    case TVN_ENDLABELEDITW: return OnEndEdit(*reinterpret_cast<NMTVDISPINFOW*>(header));
    case NM_CUSTOMDRAW: return OnCustomDraw(*reinterpret_cast<NMTVCUSTOMDRAW*>(header));
    case NM_RCLICK: return OnRightClick();
    case NM_DBLCLK:
        if (app::IsOpenableKind(ClassifyTreeItem(TreeView_GetSelection(tree_)))) OpenSelected();
        return 0;  // the tree still toggles an item with children
    default: return 0;
    }
}

void FolderTree::FolderTreeCommand(unsigned command) {
    HTREEITEM selected = TreeView_GetSelection(tree_);
    switch (command) {
    case app::IDM_OPEN_FOLDER:
        if (app::IsOpenableKind(ClassifyTreeItem(selected))) OpenSelected();
        break;
    case app::IDM_NEW_FOLDER: NewFolder(); break;
    case app::IDM_RENAME_FOLDER:
        if (app::IsRenamableKind(ClassifyTreeItem(selected))) TreeView_EditLabel(tree_, selected);
        break;
    case app::IDM_DELETE_FOLDER: DeleteSelected(); break;
    case app::IDM_DOWNLOAD_FOLDER:
        if (app::IsOpenableKind(ClassifyTreeItem(selected))) DownloadSelected();
        break;
    // The open folder's files come afresh with the tree.
    case app::IDM_REFRESH_FOLDERS: desktop_->Refresh(); break;
    case app::IDM_NEW_VAULT: NewVault(); break;
    case app::IDM_EMPTY_FOLDER:
        if (app::IsOpenableKind(ClassifyTreeItem(selected)))
            desktop_->AskEmptyFolder(std::to_string(ItemData(selected)));
        break;
    case app::IDM_FOLDER_PROPERTIES:
        if (app::IsOpenableKind(ClassifyTreeItem(selected)))
            desktop_->ShowFolderProperties(std::to_string(ItemData(selected)));
        break;
    default: break;  // expand, new sign-in: no action
    }
}

// Nothing moves before the user has agreed; then exactly the mails counted.
void FolderTree::EmptyFolderAsked(const app::EmptyFolderRequest& request) {
    std::wstring question = platform::Utf8ToWide(app::EmptyFolderQuestion(request.name, request.files));
    if (ui::ShowMessage(GetParent(tree_), question, kEmptyFolderCaption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK)
        desktop_->EmptyFolder(request);
}

// The folder with all below it, into a directory of its name inside the
// one the user picks.
void FolderTree::DownloadSelected() {
    std::string id = std::to_string(ItemData(TreeView_GetSelection(tree_)));
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::Folder;
    request.owner = GetParent(tree_);
    request.proposedName = platform::Utf8ToWide("把文件夹 \"" + desktop_->FolderName(id) + "\" 下载到:");
    std::optional<std::wstring> target = ui::AskFileName(request);
    if (target)
        desktop_->DownloadFolder(id, std::filesystem::path(*target));
    else
        desktop_->DownloadChoiceCancelled();
}

void FolderTree::OpenSelected() {
    std::uint32_t id = ItemData(TreeView_GetSelection(tree_));
    if (id != 0) desktop_->OpenFolder(std::to_string(id));
}

// Under the selected folder; at the top when the mail root (or the account)
// is selected.
void FolderTree::NewFolder() {
    HTREEITEM selected = TreeView_GetSelection(tree_);
    bool inFolder = selected && app::IsOpenableKind(ClassifyTreeItem(selected)) && ItemData(selected) != 0;
    newFolderParent_ = inFolder ? ItemData(selected) : 0;
    desktop_->CreateFolder(inFolder ? std::to_string(ItemData(selected)) : std::string(),
                           platform::WideToUtf8(kNewFolderName));
}

void FolderTree::FolderCreated(std::uint32_t itemData) {
    if (!tree_) return;
    // Found again by its folder: a refill since the command made new items.
    HTREEITEM parent = newFolderParent_ ? FolderItem(newFolderParent_) : mailRoot_;
    if (!parent) return;  // gone meanwhile; the folder shows with the next load
    HTREEITEM item = Insert(parent, kNewFolderName, itemData, 0);
    if (!item) return;
    TVITEMW hasChildren{};
    hasChildren.mask = TVIF_CHILDREN | TVIF_HANDLE;
    hasChildren.hItem = parent;
    hasChildren.cChildren = 1;
    TreeView_SetItem(tree_, &hasChildren);
    filling_ = true;  // no load: the mail root's expansion would refill it
    TreeView_Expand(tree_, parent, TVE_EXPAND);
    filling_ = false;
    // The name given in the edit renames the folder; a cancelled edit leaves
    // it named "新文件夹".
    TreeView_EditLabel(tree_, item);
}

// The folder and what is below it are counted first: the question names
// how many folders and files go.
void FolderTree::DeleteSelected() {
    HTREEITEM item = TreeView_GetSelection(tree_);
    if (!app::IsRenamableKind(ClassifyTreeItem(item))) return;
    desktop_->AskDeleteFolder(std::to_string(ItemData(item)));
}

void FolderTree::DeleteFolderAsked(const app::DeleteFolderRequest& request) {
    std::wstring question = platform::Utf8ToWide(
        app::DeleteFolderQuestion(request.name, request.tree.dirIds.size(), request.tree.files.size()));
    if (ui::ShowMessage(GetParent(tree_), question, kDeleteFolderCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) !=
        IDYES)
        return;
    // Gone at once; what the provider kept comes back with the next load.
    if (std::optional<std::uint64_t> id = app::ReadFolderId(request.folderId); id && *id <= 0xFFFFFFFFu)
        if (HTREEITEM item = FolderItem(static_cast<std::uint32_t>(*id))) TreeView_DeleteItem(tree_, item);
    desktop_->DeleteFolder(request);
}

// A vault is made at the top, with its passphrase; it opens at once.
void FolderTree::NewVault() {
    if (std::optional<NewVaultAnswer> made = AskNewVault(GetParent(tree_)))
        desktop_->CreateVault("", app::FolderNameFromLabel(made->name), made->passphrase);
}

void FolderTree::VaultPassphraseAsked(const std::string& folderId, const std::string& name, bool wrong) {
    if (std::optional<std::string> passphrase = AskVaultPassphrase(GetParent(tree_), name, wrong))
        desktop_->UnlockVault(folderId, *passphrase);
    else
        desktop_->VaultUnlockCancelled();
}

void FolderTree::VaultsChanged() {
    if (tree_) InvalidateRect(tree_, nullptr, TRUE);
}

}  // namespace mainwindow
