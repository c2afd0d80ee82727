// The desktop's folder commands: the tree, opening and listing a folder,
// making, renaming, deleting and emptying folders and their properties.
#include "app/desktop.h"
#include "app/desktop_run.h"
#include "app/folder_tree_model.h"
#include "app/vault_listing.h"
#include "catalog/catalog.h"
#include "catalog/drive_names.h"

namespace app {

namespace {
constexpr int kTicksPerRefresh = 10;

bool SameFolder(const std::string& a, const std::string& b) {
    return ReadFolderId(a) == ReadFolderId(b);
}
}  // namespace

namespace {
struct LoadedFolders {
    std::vector<catalog::FolderInfo> folders;
    bool vaultsFound = false;      // the search for vault files answered
    std::set<std::string> vaults;  // the store's ids of the folders holding one
};
}  // namespace

// The folders, and which of them are vaults: one search for the vault
// file's name over the whole mailbox. A search that fails leaves the
// vaults known before.
void Desktop::LoadFolders() {
    Run<LoadedFolders>(
        Lane::Session,
        [](catalog::MailStore& store, LoadedFolders& loaded) {
            catalog::Outcome outcome = store.ListFolders(loaded.folders);
            std::vector<catalog::FileEntry> found;
            if (outcome.Ok() && catalog::FindFiles(store, catalog::kVaultFileName, "", found).Ok()) {
                loaded.vaultsFound = true;
                for (const catalog::FileEntry& file : found)
                    if (file.name == catalog::kVaultFileName) loaded.vaults.insert(file.folderId);
            }
            return outcome;
        },
        [](Desktop& d, const catalog::Outcome& outcome, const LoadedFolders& loaded) {
            const std::vector<catalog::FolderInfo>& folders = loaded.folders;
            d.folders_ = d.folderIds_.Show(folders);
            if (loaded.vaultsFound) d.vaults_ = loaded.vaults;
            d.ReportOutcome(Work::LoadFolders, outcome);
            d.Tell([&](DesktopView& v) { v.FoldersLoaded(d.folders_); });
            if (!outcome.Ok()) return;
            d.spaceText_ = SpaceUsedText(folders);
            d.ShowSpaceLine();
        });
}

void Desktop::RefreshSpaceUsed() {
    Run<std::vector<catalog::FolderInfo>>(
        Lane::Session,
        [](catalog::MailStore& store, std::vector<catalog::FolderInfo>& folders) { return store.ListFolders(folders); },
        [](Desktop& d, const catalog::Outcome& outcome, const std::vector<catalog::FolderInfo>& folders) {
            if (!outcome.Ok()) return;  // the last figure stays; the next tree brings a new one
            d.spaceText_ = SpaceUsedText(folders);
            d.ShowSpaceLine();
        });
}

std::string Desktop::FolderName(const std::string& folderId) const {
    for (const Folder& folder : folders_)
        if (SameFolder(folder.id, folderId)) return folder.name;
    return folderId;
}

std::string Desktop::CurrentTitle() const {
    return FolderTitle(folders_, openFolderId_, files_.FileCount(), files_.TotalBytes());
}

void Desktop::OpenFolder(const std::string& folderId) {
    openFolderId_ = folderId;
    searchText_.clear();
    passphraseAsked_.clear();
    files_.Show(FileListing{folderId, "", {}});
    std::string title = FolderTitle(folders_, folderId);
    Tell([&](DesktopView& v) { v.FolderOpened(title); });
    // No rows of the folder before stay on show while its files come.
    Tell([&](DesktopView& v) { v.FilesShown(files_, "", true); });
    ListOpenFolder();
}

void Desktop::ReloadOpenFolder() {
    if (!openFolderId_.empty()) ListOpenFolder();
}

void Desktop::Refresh() {
    Tell([](DesktopView& v) { v.FoldersStale(); });
    ReloadOpenFolder();
}

// A search's rows are not the folder's total: the title keeps the folder's.
void Desktop::ShowFiles(bool newRows) {
    std::string title = files_.SearchText().empty() ? CurrentTitle() : std::string();
    Tell([&](DesktopView& v) { v.FilesShown(files_, title, newRows); });
}

// Two steps: the files as the listing groups them, shown at once; then
// their exact sizes from the manifests (read once, then remembered), shown
// when they are in. Only the latest listing shows. A vault's rows are
// opened with its key (vault_listing.h); a vault's search is its own.
void Desktop::ListOpenFolder(std::function<void(Desktop&, bool)> after) {
    unsigned listing = ++listing_;
    std::string folderId = openFolderId_;
    std::string storeId = folderIds_.StoreId(folderId);
    std::string search = searchText_;
    std::shared_ptr<catalog::ManifestCache> sizes = sizes_;
    std::shared_ptr<const vault::VaultKey> key = VaultKeyOf(storeId);
    const bool knownVault = vaults_.count(storeId) > 0;
    Reply reply = ReplyChannel();
    Run<Listed>(
        Lane::Session,
        [folderId, storeId, search, sizes, reply, listing, key, knownVault](catalog::MailStore& store, Listed& listed) {
            catalog::Outcome outcome = ListFolderFiles(store, storeId, knownVault ? "" : search, listed.listing);
            listed.listing.folderId = folderId;
            listed.listing.searchText = search;
            if (!outcome.Ok()) return outcome;
            FileListing first = listed.listing;
            OpenVaultListing(key.get(), first);
            // The rows go out now; the sizes follow in this result.
            reply([first, listing](Desktop& d) {
                if (listing != d.listing_) return;
                d.files_.Show(first);
                d.ShowFiles(true);
                d.VaultListed(first.folderId, first.vault);
            });
            if (first.vault == VaultState::Locked) return listed.listing = first, catalog::Success();
            outcome = SizedFiles(store, *sizes, listed.listing);
            OpenVaultListing(key.get(), listed.listing);
            return outcome;
        },
        [listing, after, search](Desktop& d, const catalog::Outcome& outcome, const Listed& result) {
            if (listing == d.listing_) {
                if (!result.listing.rows.empty() || outcome.Ok()) {
                    d.files_.TakeSizes(result.listing.rows);
                    d.ShowFiles(false);
                }
                d.ReportOutcome(search.empty() ? Work::List : Work::Search, outcome);
            }
            if (after) after(d, outcome.Ok());
        });
}

void Desktop::Search(const std::string& textUtf8) {
    if (openFolderId_.empty() || textUtf8 == searchText_) return;
    searchText_ = textUtf8;
    ListOpenFolder();
}

void Desktop::ToggleAttachmentsOnly() {
    files_.SetAttachmentsOnly(!files_.AttachmentsOnly());
    ShowFiles(true);
}

void Desktop::CreateFolder(const std::string& parentId, const std::string& nameUtf8) {
    std::string storeParent = parentId.empty() ? std::string() : folderIds_.StoreId(parentId);
    // A parent the list no longer has: nothing is made at the top instead.
    if (!parentId.empty() && storeParent.empty())
        return ReportOutcome(Work::CreateFolder, catalog::Failure(catalog::StoreCode::NotFound, "no such folder"));
    Run<std::string>(
        Lane::Session,
        [storeParent, nameUtf8](catalog::MailStore& store, std::string& newId) {
            return store.CreateFolder(storeParent, nameUtf8, newId);
        },
        [](Desktop& d, const catalog::Outcome& outcome, const std::string& newId) {
            d.ReportOutcome(Work::CreateFolder, outcome);
            if (!outcome.Ok()) return;
            std::uint32_t itemData = FolderIdToItemData(d.folderIds_.ViewId(newId));
            d.Tell([&](DesktopView& v) { v.FolderCreated(itemData); });
        });
}

void Desktop::RenameFolder(const std::string& folderId, const std::string& nameUtf8) {
    std::string storeId = folderIds_.StoreId(folderId);
    Run<bool>(
        Lane::Session,
        [storeId, nameUtf8](catalog::MailStore& store, bool&) { return store.RenameFolder(storeId, nameUtf8); },
        [](Desktop& d, const catalog::Outcome& outcome, const bool&) {
            d.ReportOutcome(Work::RenameFolder, outcome);
            // The tree shows the names the mailbox reports now.
            d.Tell([](DesktopView& v) { v.FoldersStale(); });
        });
}

void Desktop::AskDeleteFolder(const std::string& folderId) {
    std::string storeId = folderIds_.StoreId(folderId);
    if (storeId.empty()) return;
    Run<DeleteFolderRequest>(
        Lane::Session,
        [storeId](catalog::MailStore& store, DeleteFolderRequest& request) {
            catalog::FolderTree folders;
            catalog::Outcome outcome = catalog::FolderTree::Load(store, folders);
            return outcome.Ok() ? catalog::WalkRemoteTree(store, folders, storeId, request.tree) : outcome;
        },
        [folderId](Desktop& d, const catalog::Outcome& outcome, const DeleteFolderRequest& counted) {
            if (!outcome.Ok()) return d.ReportOutcome(Work::DeleteFolder, outcome);
            DeleteFolderRequest request = counted;
            request.folderId = folderId;
            request.name = d.FolderName(folderId);
            d.Tell([&](DesktopView& v) { v.DeleteFolderAsked(request); });
        });
}

void Desktop::DeleteFolder(const DeleteFolderRequest& request) {
    std::string storeId = folderIds_.StoreId(request.folderId);
    if (storeId.empty()) return;
    SetStatus("正在删除文件夹 \"" + request.name + "\"...");
    std::string done = FolderDeletedText(request.name, request.tree.dirIds.size(), request.tree.files.size());
    catalog::RemoteTree tree = request.tree;
    Run<bool>(
        Lane::Session,
        [storeId, tree](catalog::MailStore& store, bool&) { return catalog::RemoveTree(store, tree, storeId); },
        [done, request](Desktop& d, const catalog::Outcome& outcome, const bool&) {
            d.ReportOutcome(Work::DeleteFolder, outcome);
            if (outcome.Ok()) {
                d.SetStatus(done);
                d.CloseOpenFolderIfIn(request);
            }
            // A failure half-way leaves what was not yet removed: the tree shows it.
            d.Tell([](DesktopView& v) { v.FoldersStale(); });
        });
}

// The open folder went with the tree: its rows name files that are in the
// trash now, and nothing may be dropped into it.
void Desktop::CloseOpenFolderIfIn(const DeleteFolderRequest& request) {
    bool gone = SameFolder(openFolderId_, request.folderId);
    for (const std::string& id : request.tree.dirIds) gone = gone || SameFolder(openFolderId_, folderIds_.ViewId(id));
    if (!gone) return;
    openFolderId_.clear();
    searchText_.clear();
    ++listing_;  // a listing still under way is dropped
    files_.Show(FileListing{});
    Tell([](DesktopView& v) { v.FolderOpened(""); });
    Tell([&](DesktopView& v) { v.FilesShown(files_, "", true); });
}

void Desktop::ShowFolderProperties(const std::string& folderId) {
    std::string storeId = folderIds_.StoreId(folderId);
    std::shared_ptr<catalog::ManifestCache> sizes = sizes_;
    std::shared_ptr<const vault::VaultKey> key = VaultKeyOf(storeId);
    Run<Listed>(
        Lane::Session,
        [storeId, sizes, key](catalog::MailStore& store, Listed& counted) {
            catalog::Outcome outcome = ListFolderFiles(store, storeId, "", counted.listing);
            if (outcome.Ok()) outcome = SizedFiles(store, *sizes, counted.listing);
            // A vault counts what its list shows: its own files' sizes, or none while shut.
            OpenVaultListing(key.get(), counted.listing);
            return outcome;
        },
        [folderId](Desktop& d, const catalog::Outcome& outcome, const Listed& counted) {
            if (!outcome.Ok()) return d.ReportOutcome(Work::Properties, outcome);
            FolderSummary summary;
            summary.id = folderId;
            for (const Folder& folder : d.folders_)
                if (SameFolder(folder.id, folderId)) summary.name = folder.name, summary.unread = folder.unreadCount;
            summary.files = counted.listing.rows.size();
            for (const FileRow& row : counted.listing.rows)
                summary.bytes += row.file.sizeKnown ? row.file.size : row.file.listedSize;
            std::string text = FolderPropertiesText(summary);
            d.Tell([&](DesktopView& v) { v.PropertiesReady(text); });
        });
}

void Desktop::AskEmptyFolder(const std::string& folderId) {
    std::string storeId = folderIds_.StoreId(folderId);
    Run<Listed>(
        Lane::Session,
        [storeId](catalog::MailStore& store, Listed& counted) {
            return ListFolderFiles(store, storeId, "", counted.listing);
        },
        [folderId](Desktop& d, const catalog::Outcome& outcome, const Listed& counted) {
            if (!outcome.Ok()) return d.ReportOutcome(Work::Empty, outcome);
            EmptyFolderRequest request;
            request.folderId = folderId;
            request.name = folderId;
            for (const Folder& folder : d.folders_)
                if (SameFolder(folder.id, folderId)) request.name = folder.name;
            // A vault emptied stays a vault: its vault file stays.
            for (const FileRow& row : counted.listing.rows) {
                if (row.file.name == catalog::kVaultFileName) continue;
                ++request.files;
                for (const std::string& id : row.file.MailIds()) request.mailIds.push_back(id);
            }
            // Deleting from the trash would move the mails onto themselves and
            // report them gone: say plainly that they stay.
            if (IsTrashFolder(folderId, request.name)) return d.SetStatus(TrashKeptText(request.name, request.files));
            d.Tell([&](DesktopView& v) { v.EmptyFolderAsked(request); });
        });
}

void Desktop::EmptyFolder(const EmptyFolderRequest& request) {
    if (IsTrashFolder(request.folderId, request.name)) return SetStatus(TrashKeptText(request.name, request.files));
    SetStatus(FilesMovingText(kTrashName, request.files));
    std::string folderId = request.folderId;
    std::vector<std::string> ids = request.mailIds;
    std::string done =
        "已将 \"" + request.name + "\" 中的 " + std::to_string(request.files) + " 个文件移到" + kTrashName;
    Run<bool>(
        Lane::Session, [ids](catalog::MailStore& store, bool&) { return store.DeleteMails(ids); },
        [folderId, done](Desktop& d, const catalog::Outcome& outcome, const bool&) {
            d.ReportOutcome(Work::Empty, outcome);
            if (outcome.Ok()) d.SetStatus(done);
            d.Tell([](DesktopView& v) { v.FoldersStale(); });
            if (SameFolder(folderId, d.openFolderId_)) d.ReloadOpenFolder();
        });
}

void Desktop::OnRefreshTick() {
    if (refreshTick_ < kTicksPerRefresh) {
        ++refreshTick_;
        return;
    }
    refreshTick_ = 1;
    Tell([](DesktopView& v) { v.FoldersStale(); });
}

}  // namespace app
