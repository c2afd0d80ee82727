// The desktop's state after the sign-in: the one Session, the folder list,
// the open folder and its shown page, the transfers and the progress
// display. The windows (views) forward what the user does to it and hear
// back through DesktopView; they never talk to the provider themselves.
//
// Threads: every member function runs on the user-interface thread. Work for
// the provider runs on the executor's lanes (executor.h); its results come
// back as tasks on the user-interface thread, where they change this state
// and tell the views. A result that arrives after the desktop has gone is
// dropped. Workers only ever touch the Session (shared with them) and values
// of their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/executor.h"
#include "app/model.h"
#include "app/texts.h"
#include "session/message_moves.h"
#include "session/session.h"
#include "session/status.h"
#include "session/store_file.h"

namespace app {

// What the windows hear from the desktop; every call comes on the
// user-interface thread. A view overrides what it shows.
class DesktopView {
public:
    virtual void FoldersLoaded(const FolderList&) {}
    // The folder tree should be built afresh, which fetches the folders
    // again (the refresh timer's tenth tick, after a rename).
    virtual void FoldersStale() {}
    // A folder was made on the provider; itemData is its id as tree item
    // data (0 when the provider named none).
    virtual void FolderCreated(std::uint32_t) {}
    // A folder was opened: its title "name(unread/total)". Its page follows.
    virtual void FolderOpened(const std::string&) {}
    virtual void PageShown(const Page&) {}
    virtual void StatusChanged(const std::string&) {}
    // The progress line, drawn over the status label.
    virtual void ProgressDrawn(const std::string&) {}
    virtual void NoticeArrived(const std::string&) {}
    // The provider could not be reached: the "Error" box with this text.
    virtual void ConnectionFailed(const std::string&) {}
    // Work for the provider is under way, or no longer.
    virtual void BusyChanged(bool) {}

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

// Pauses of the upload worker; tests shorten them.
struct UploadPacing {
    // From the end of the upload routine to "请稍后.... 正在收取并移动文件".
    int fetchNoticeDelayMs = 3000;
    // How long and how often the inbox is looked at for the delivered mail.
    session::StoreOptions store;
};

// Put into downloadTotal when a download is taken on, so the progress display
// keeps running through the save dialog, before the download routine runs.
constexpr std::int32_t kDownloadPendingMark = 5120;

enum class DownloadCheck { NoRow, NoAttachment, Busy, Ready };

class Desktop : public std::enable_shared_from_this<Desktop> {
public:
    static std::shared_ptr<Desktop> Create(std::shared_ptr<session::Session> session, UiPoster postToUi,
                                           ProgressClock& clock);
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    void AddView(DesktopView& view);
    void RemoveView(DesktopView& view);

    std::string AccountName() const;  // ANSI code page, as signed in
    const FolderList& Folders() const { return folders_; }
    const std::string& OpenFolderId() const { return openFolderId_; }
    const Page& ShownPage() const { return page_; }
    UploadPacing& Pacing() { return pacing_; }
    // Drops the work that has not begun and waits, at most `bound`, for the
    // rest; true when none runs any more.
    bool Finish(std::chrono::milliseconds bound);

    // Folders.
    void LoadFolders();
    void OpenFolder(const std::string& folderId);
    void ReloadOpenFolder();
    void CreateFolder(const std::string& nameUtf8);
    void RenameFolder(const std::string& folderId, const std::string& nameUtf8);
    void DeleteFolder(const std::string& folderId);
    // A tick of the folder refresh timer: every tenth asks for a new tree.
    void OnRefreshTick();

    // The rows of the shown page (list item indexes) that a command acts on.
    void DeleteRows(const std::vector<int>& rows);
    // `checked`: the rows were taken from the check boxes, which the status
    // label tells.
    void MoveRows(const std::vector<int>& rows, const std::string& targetFolderId, bool checked);

    // Transfers: one upload and one download at a time.
    bool UploadSlotFree() const;
    void StartUpload(const std::filesystem::path& path);
    void UploadChoiceCancelled();
    DownloadCheck CheckDownload(int row) const;
    // Takes the download slot for a row whose check said Ready; returns the
    // file name the save dialog proposes.
    std::string StartDownload(int row);
    void DownloadTo(const std::filesystem::path& path);
    void DownloadChoiceCancelled();
    void OnProgressTick();

    void FetchNotice();

private:
    using Reply = std::function<void(std::function<void(Desktop&)>)>;

    Desktop(std::shared_ptr<session::Session> session, UiPoster postToUi, ProgressClock& clock);

    // Runs `work` on a lane, then `done` with its result here, if the
    // desktop is still there. False when no thread would start.
    template <typename Result>
    bool Run(Lane lane, std::function<Result(session::Session&)> work,
             std::function<void(Desktop&, const Result&)> done);
    // A way for a worker to run something here, any number of times.
    Reply ReplyChannel();
    void ListOpenFolder(std::function<void(Desktop&, session::Status)> after = {});
    void Tell(const std::function<void(DesktopView&)>& news);
    void SetStatus(const std::string& text);
    void Report(Work work, session::Status status);
    void ReportTransfer(Work work, session::Status status);
    void UploadRoutineEnded(session::Status status);
    void LaneWorkEnded();
    bool TransfersSettled() const;
    void StartProgress();
    void StopProgressIfSettled();
    void SettleProgress();
    session::MessageIdQueue IdsOfRows(const std::vector<int>& rows) const;

    std::shared_ptr<session::Session> session_;
    std::unique_ptr<Executor> executor_;
    ProgressClock& clock_;
    std::vector<DesktopView*> views_;
    UploadPacing pacing_;

    FolderList folders_;
    std::string openFolderId_;
    Page page_;
    unsigned listing_ = 0;  // the latest listing asked for; older ones are dropped
    int laneWork_ = 0;      // work on the session lane not yet answered
    int refreshTick_ = 1;
    std::string refusalCode_;  // the provider's code of the refusal the last result brought

    bool uploadStarting_ = false;  // an upload started whose routine has not yet ended
    bool downloadTaken_ = false;   // a download taken on: dialog open or bytes travelling
    bool failureShown_ = false;    // a transfer's failure text stands; the progress end keeps it
    bool progressRunning_ = false;
    std::string downloadId_;
};

}  // namespace app
