// The desktop's state after the sign-in: the account's mailbox (one
// catalog::MailStore, webmail or IMAP), the folder list, the open folder and
// its files, the transfer queue and the progress display. The windows
// (views) forward what the user does to it and hear back through
// DesktopView; they never talk to the mailbox themselves. Every folder,
// listing, move, deletion and transfer goes through the catalog; transfers
// resume what an interrupted run left (catalog/transfers.h).
//
// Threads: every member function runs on the user-interface thread. Work for
// the mailbox runs on the executor's lanes (executor.h) on stores of their
// own (store_source.h); its results come back as tasks on the user-interface
// thread, where they change this state and tell the views. A result that
// arrives after the desktop has gone is dropped.
//
// Folder ids in this interface are the windows' numbers (folder_ids.h).
// The member functions are defined by job: desktop.cpp (running work,
// reporting), desktop_folders.cpp, desktop_files.cpp, desktop_transfers.cpp,
// desktop_trees.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/account.h"
#include "app/drive_service.h"
#include "app/executor.h"
#include "app/file_list.h"
#include "app/file_texts.h"
#include "app/folder_ids.h"
#include "app/model.h"
#include "app/store_source.h"
#include "app/texts.h"
#include "app/transfer_conflict.h"
#include "app/transfer_queue.h"
#include "app/transfer_texts.h"
#include "catalog/catalog.h"
#include "catalog/manifest_cache.h"
#include "catalog/tree_transfer.h"
#include "platform/stop_token.h"
#include "vault/vault_key.h"

namespace app {

// Emptying a folder moves exactly the mails that were counted when the
// user was asked: a mail arriving meanwhile stays.
struct EmptyFolderRequest {
    std::string folderId;
    std::string name;
    std::uint64_t files = 0;
    std::vector<std::string> mailIds;
};

// Deleting a folder removes exactly what was counted when the user was
// asked: its files (to the trash), the folders nested in it, then itself.
struct DeleteFolderRequest {
    std::string folderId;
    std::string name;
    catalog::RemoteTree tree;  // below the folder, as walked
};

// What the windows hear from the desktop; every call comes on the
// user-interface thread. A view overrides what it shows.
class DesktopView {
public:
    virtual void FoldersLoaded(const FolderList&) {}
    // The folder tree should be built afresh, which fetches the folders
    // again (the refresh timer's tenth tick, after a rename, F5).
    virtual void FoldersStale() {}
    // A folder was made on the provider; itemData is its id as tree item
    // data (0 when the provider named none).
    virtual void FolderCreated(std::uint32_t) {}
    // A folder was opened: its title "name(unread/total)". Its files follow.
    virtual void FolderOpened(const std::string&) {}
    // The files shown changed (a listing, a search, the sizes, a filter);
    // the title follows the count of the folder's files (empty: unchanged).
    // newRows is false when only what the same rows show changed (sizes).
    virtual void FilesShown(const FileList&, const std::string& /*title*/, bool /*newRows*/) {}
    virtual void StatusChanged(const std::string&) {}
    // The account's used space, beside the status line (SpaceUsedText).
    virtual void SpaceUsedChanged(const std::string&) {}
    // The progress line, drawn over the status label.
    virtual void ProgressDrawn(const std::string&) {}
    virtual void NoticeArrived(const std::string&) {}
    // The provider could not be reached: the "Error" box with this text.
    virtual void ConnectionFailed(const std::string&) {}
    // Work for the provider is under way, or no longer.
    virtual void BusyChanged(bool) {}
    // The properties of a file or a folder, to be shown in a box.
    virtual void PropertiesReady(const std::string&) {}
    // A folder's mails are counted: the user is to confirm emptying it.
    virtual void EmptyFolderAsked(const EmptyFolderRequest&) {}
    // A folder's tree is counted: the user is to confirm deleting it.
    virtual void DeleteFolderAsked(const DeleteFolderRequest&) {}

    // Transfers. A row was added, changed state or moved on (every progress tick).
    virtual void TransfersChanged(const TransferQueue&) {}
    // The transfers an earlier run left are in the queue, held: the user is
    // to be offered to finish them (ContinueTransfers).
    virtual void TransfersLeftOver(std::size_t) {}
    // The queue has nothing more to run: what it came to (QueueEndedText).
    virtual void TransfersEnded(const std::string& /*text*/, bool /*failed*/) {}
    // A file asked to be opened is fetched and checked: open it with its program.
    virtual void FileFetchedToOpen(const std::filesystem::path&) {}

    // Vaults. The open folder is a vault not yet opened: the user is to give
    // its passphrase (UnlockVault) or not; `wrong` after a refused one.
    virtual void VaultPassphraseAsked(const std::string& /*folderId*/, const std::string& /*name*/, bool /*wrong*/) {}
    // The folders known to be vaults, or which of them are open, changed.
    virtual void VaultsChanged() {}

protected:
    ~DesktopView() = default;
};

// The progress timer: the desktop switches it; while it runs, the program
// calls OnProgressTick every 200 ms.
class ProgressClock {
public:
    virtual void Start() = 0;
    virtual void Stop() = 0;

protected:
    ~ProgressClock() = default;
};

// How files are moved; tests use small parts.
struct TransferPacing {
    std::uint64_t partSize = catalog::kDefaultPartSize;
    unsigned transfers = 4;  // parts moving at once
};

enum class DownloadCheck { NoRow, NoAttachment, Ready };

class Desktop : public std::enable_shared_from_this<Desktop> {
public:
    static std::shared_ptr<Desktop> Create(SignedInAccount account, UiPoster postToUi, ProgressClock& clock);
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    void AddView(DesktopView& view);
    void RemoveView(DesktopView& view);

    const std::string& AccountName() const { return accountName_; }  // ANSI code page, as signed in
    const FolderList& Folders() const { return folders_; }
    // The folder's name as the tree shows it; its id when the list has none.
    std::string FolderName(const std::string& folderId) const;
    const std::string& OpenFolderId() const { return openFolderId_; }
    // The open folder is a vault (as its listing or the folder load shows):
    // nothing goes in unsealed.
    bool OpenFolderIsVault() const {
        return FolderVault(openFolderId_) != VaultState::None ||
               (files_.FolderId() == openFolderId_ && files_.IsVault());
    }
    FileList& Files() { return files_; }
    const FileList& Files() const { return files_; }
    TransferPacing& Pacing() { return pacing_; }
    // Cancels the transfers, drops the work that has not begun and waits,
    // at most `bound`, for the rest; true when none runs any more.
    bool Finish(std::chrono::milliseconds bound);

    // Folders.
    void LoadFolders();
    // The used space again, without a new tree (after uploads).
    void RefreshSpaceUsed();
    void OpenFolder(const std::string& folderId);
    void ReloadOpenFolder();
    // F5: the tree and the open folder's files afresh.
    void Refresh();
    // In parentId (a folder's number; empty: at the top).
    void CreateFolder(const std::string& parentId, const std::string& nameUtf8);
    void RenameFolder(const std::string& folderId, const std::string& nameUtf8);
    // Counts what is below the folder; the views then ask the user
    // (DeleteFolderAsked) and DeleteFolder removes it.
    void AskDeleteFolder(const std::string& folderId);
    void DeleteFolder(const DeleteFolderRequest& request);
    void ShowFolderProperties(const std::string& folderId);
    // Counts the folder's files; the views then ask the user (EmptyFolderAsked).
    void AskEmptyFolder(const std::string& folderId);
    void EmptyFolder(const EmptyFolderRequest& request);
    // A tick of the folder refresh timer: every tenth asks for a new tree.
    void OnRefreshTick();

    // The open folder's files whose names contain the text (the provider's
    // search); an empty text shows the whole folder again.
    void Search(const std::string& textUtf8);
    // "只看附件": on, then off again.
    void ToggleAttachmentsOnly();

    // The files at these list items (all their parts) that a command acts
    // on. Deleting moves them to the trash; the views ask the user first.
    void DeleteRows(const std::vector<std::size_t>& items);
    void MoveRows(const std::vector<std::size_t>& items, const std::string& targetFolderId);
    void ShowFileProperties(std::size_t item);

    // Transfers: one queue, one item at a time; more can be added while it runs.
    // A name a whole file of the open folder has is asked about (`ask`);
    // without an asker every file is queued under its own name. A directory
    // among the paths goes into the open folder as a tree: its folders are
    // made (or found), then each file below it is a row of its own, a name
    // taken in its folder asked about the same way (tree_plan.h).
    void QueueUploads(const std::vector<std::filesystem::path>& paths, const ConflictAsker& ask = {});
    void UploadChoiceCancelled();
    DownloadCheck CheckDownload(const std::vector<std::size_t>& items) const;
    // The name the save dialog proposes for the first of the items.
    std::string ProposedName(std::size_t item) const;
    // One item: into `target`. Several: each under its own name into the
    // folder `target` names.
    void QueueDownloads(const std::vector<std::size_t>& items, const std::filesystem::path& target);
    void DownloadChoiceCancelled();
    // The folder with everything below it into a directory of its own name
    // inside targetDir, one row per file (tree_plan.h).
    void DownloadFolder(const std::string& folderId, const std::filesystem::path& targetDir);
    // The whole mail of each part of the file, as sent: one .eml per part,
    // `target` for a file of one part, `target` with ".partK" before its
    // extension otherwise.
    void DownloadMail(std::size_t item, const std::filesystem::path& target);
    // Double click or Enter: the file, fetched (every part checked) into a
    // folder of its own under the temporary directory, then handed to the
    // views to open (FileFetchedToOpen).
    void OpenFile(std::size_t item);
    // Fetches a file by its key (every part checked) into `target`, on the
    // calling thread, through the account's connections and the transfers'
    // pacing: for files dragged out of the list, whose bytes the shell asks
    // for when they are dropped. It may outlive the desktop.
    using FileFetch = std::function<catalog::Outcome(const std::string& key, const std::filesystem::path& target)>;
    FileFetch Fetcher() const;
    void OnProgressTick();
    bool Transferring() const { return transferRunning_; }
    // No work for the provider waits for its answer here, none is queued.
    bool Idle() const { return laneWork_ == 0 && !transferRunning_ && !transfers_.AnyWaiting(); }

    // The transfer rows (the panel's), and the user's actions on them.
    const TransferQueue& Transfers() const { return transfers_; }
    void ActOnTransfer(std::uint64_t id, TransferAction action);
    // The tray's 暂停/继续传输: every row paused, or every paused and failed
    // row run again (also the answer to the offer of what a run left).
    void PauseTransfers();
    void ContinueTransfers();
    bool TransfersPaused() const;
    void ClearFinishedTransfers();
    // Keeps the queue in `file` from now on, and takes what it holds (an
    // earlier run's rows, held until ContinueTransfers). Copies of files
    // uploaded under another name are made beside it.
    void KeepTransfersIn(const std::filesystem::path& file);

    void FetchNotice();

    // Vaults (vault/): folders whose files' names and bytes are sealed on
    // this machine. Each folder load looks for them; a vault's key is kept
    // for this run only, in memory, and wiped when the desktop goes.
    VaultState FolderVault(const std::string& folderId) const;
    // Opens the folder's vault with the passphrase, off this thread (the key
    // derivation takes about a second); a wrong one is asked again.
    void UnlockVault(const std::string& folderId, const std::string& passphrase);
    // Makes a folder (in parentId; empty: at the top), turns it into a vault
    // under the passphrase and keeps it open.
    void CreateVault(const std::string& parentId, const std::string& nameUtf8, const std::string& passphrase);
    // The user gave no passphrase: the vault stays shut and shows nothing.
    void VaultUnlockCancelled() { SetStatus(kVaultNotOpenedText); }

    // The network drive (工具 menu): the account served and mapped through
    // the views' service; its name shows beside the used space.
    void SetDriveService(std::shared_ptr<DriveService> service) { driveService_ = std::move(service); }
    void MapDrive();
    void UnmapDrive();
    const std::string& DriveName() const { return driveName_; }
    bool DriveBusy() const { return driveBusy_; }

private:
    using Reply = std::function<void(std::function<void(Desktop&)>)>;
    // Written by the transfer's worker, read by the progress tick.
    struct Meter {
        std::atomic<std::uint64_t> done{0};
        std::atomic<std::uint64_t> total{0};
        platform::StopSource stop;
    };

    Desktop(SignedInAccount account, UiPoster postToUi, ProgressClock& clock);

    // Runs `work` on a lane with a store, then `done` with its outcome and
    // value here, if the desktop is still there. A store that cannot be had
    // is the outcome. False when no thread would start.
    template <typename Value>
    using LaneWork = std::function<catalog::Outcome(catalog::MailStore&, Value&)>;
    template <typename Value>
    using LaneDone = std::function<void(Desktop&, const catalog::Outcome&, const Value&)>;
    template <typename Value>
    bool Run(Lane lane, LaneWork<Value> work, LaneDone<Value> done);
    Reply ReplyChannel();
    void ListOpenFolder(std::function<void(Desktop&, bool)> after = {});
    void CloseOpenFolderIfIn(const DeleteFolderRequest& request);
    void ShowFiles(bool newRows);
    void Tell(const std::function<void(DesktopView&)>& news);
    void SetStatus(const std::string& text);
    // The used space and the mapped drive, beside the status line.
    void ShowSpaceLine();
    void ReportOutcome(Work work, const catalog::Outcome& outcome);
    void LaneWorkEnded();
    void QueueTreeUpload(const std::filesystem::path& dropped, const ConflictAsker& ask);
    void QueueRows(std::vector<TransferRow> rows, const std::string& skippedLine);
    TransferRow DownloadRow(const FileRow& row) const;
    void StartNextTransfer();
    void TransferEnded(const TransferRow& item, const catalog::Outcome& outcome, const std::string& trashFailure);
    void TransfersMoved();
    void QueueEnded();
    std::string CurrentTitle() const;
    std::shared_ptr<const vault::VaultKey> VaultKeyOf(const std::string& storeFolderId) const;
    // What a listing of the open folder said about it being a vault.
    void VaultListed(const std::string& folderId, VaultState state);
    void MoveFilesAway(const std::vector<std::size_t>& items, const std::string& target,
                       const std::string& shownTarget);

    std::string accountName_;
    std::string providerOverride_;  // where the notice is fetched
    std::shared_ptr<StoreSource> stores_;
    std::unique_ptr<Executor> executor_;
    ProgressClock& clock_;
    std::vector<DesktopView*> views_;
    TransferPacing pacing_;
    // What manifests said about sizes; used on the session lane only.
    std::shared_ptr<catalog::ManifestCache> sizes_;
    FolderIds folderIds_;

    FolderList folders_;
    std::string openFolderId_;
    std::string searchText_;
    FileList files_;
    std::map<std::string, DownloadVerdict> verdicts_;  // by file key
    unsigned listing_ = 0;                             // the latest listing asked for; older ones are dropped
    int laneWork_ = 0;                                 // work on the session lane not yet answered
    int refreshTick_ = 1;

    TransferQueue transfers_;
    std::uint64_t currentId_ = 0;          // the running row
    std::vector<std::uint64_t> runIds_;    // the rows this run of the queue ran
    std::size_t queueDone_ = 0;            // items of this run of the queue finished
    std::size_t queueTotal_ = 0;           // items of this run of the queue
    std::filesystem::path transfersFile_;  // empty: the queue is not kept
    SpeedMeter speed_;
    bool transferRunning_ = false;
    bool uploadsInRun_ = false;
    std::string queueFailure_;  // the last failed item's text: it stands when the queue ends
    std::shared_ptr<Meter> meter_ = std::make_shared<Meter>();
    bool progressRunning_ = false;
    std::shared_ptr<DriveService> driveService_;
    std::string driveName_;   // "Z:" while mapped
    bool driveBusy_ = false;  // mapping or unmapping now
    std::string spaceText_;

    std::set<std::string> vaults_;  // the store's ids of the folders known to be vaults
    std::map<std::string, std::shared_ptr<const vault::VaultKey>> vaultKeys_;  // by store id
    std::string passphraseAsked_;  // the open folder, once its passphrase was asked
};

}  // namespace app
