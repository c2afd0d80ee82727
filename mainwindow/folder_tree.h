// The folder tree of the left pane: the account, "电子邮件" under it, and one
// item per mail folder of the account under that, a nested folder under its
// parent. It forwards what the user does to the desktop and shows the folder
// lists the desktop loads.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>

#include "app/desktop.h"
#include "app/folder_tree_model.h"

namespace mainwindow {

class FolderTree final : public app::DesktopView {
public:
    // Creates the tree in the left pane of the frame and builds it, which
    // loads the folders.
    void CreateFolderTree(HWND frame, std::shared_ptr<app::Desktop> desktop);
    // The tree went with the frame.
    void Forget();
    HWND Window() const { return tree_; }

    // WM_NOTIFY of the frame whose sender is the tree.
    LRESULT FolderTreeNotify(NMHDR* header);

    // Empties the tree and inserts the account and mail root items, whose
    // first expansion loads the folders; waits while a label is edited.
    void RebuildFolderTree();

    void FoldersLoaded(const app::FolderList& folders) override;
    void FoldersStale() override { RebuildFolderTree(); }
    void FolderCreated(std::uint32_t itemData) override;
    void EmptyFolderAsked(const app::EmptyFolderRequest& request) override;
    void DeleteFolderAsked(const app::DeleteFolderRequest& request) override;
    void VaultPassphraseAsked(const std::string& folderId, const std::string& name, bool wrong) override;
    void VaultsChanged() override;

    // The kind of an item, from its data and that of the items above it.
    app::TreeItemKind ClassifyTreeItem(HTREEITEM item) const;
    std::uint32_t ItemData(HTREEITEM item) const;

private:
    static LRESULT CALLBACK FolderTreeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void FolderTreeCommand(unsigned command);
    void Fill(const app::FolderList& folders);
    // The item of a folder, at any depth; null when the tree has none.
    HTREEITEM FolderItem(std::uint32_t data) const;
    HTREEITEM FindFolderItem(const std::function<bool(HTREEITEM)>& visit) const;
    void NoteClosedFolders();
    HTREEITEM Insert(HTREEITEM parent, const std::wstring& text, std::uint32_t data, int children);
    void OpenSelected();
    void DownloadSelected();
    void NewFolder();
    void DeleteSelected();
    LRESULT OnExpanding(const NMTREEVIEWW& change);
    LRESULT OnBeginEdit(const NMTVDISPINFOW& info);
    LRESULT OnEndEdit(const NMTVDISPINFOW& info);
    LRESULT OnRightClick();
    LRESULT OnCustomDraw(NMTVCUSTOMDRAW& draw) const;
    void NewVault();
    void ApplyDeferred();

    HWND tree_ = nullptr;
    WNDPROC previousProc_ = nullptr;
    std::shared_ptr<app::Desktop> desktop_;
    HTREEITEM account_ = nullptr;
    HTREEITEM mailRoot_ = nullptr;
    bool loadAsked_ = false;  // the rebuild's expansion asked for the folders
    bool filling_ = false;    // the tree expands what it has just filled
    // While a label is edited the tree is not rebuilt nor refilled: what
    // came meanwhile waits for the edit's end.
    bool editing_ = false;
    bool rebuildDeferred_ = false;
    std::optional<app::FolderList> fillDeferred_;
    // The folder the folder being made goes in (its item data; 0: the top).
    std::uint32_t newFolderParent_ = 0;
    std::set<std::uint32_t> closedFolders_;  // item data of folders the user closed
};

}  // namespace mainwindow
