#include "app/desktop.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "app/folder_tree_model.h"
#include "app/notice.h"
#include "session/cells.h"
#include "session/download.h"
#include "session/folders.h"
#include "session/listing.h"

namespace app {

namespace {
constexpr int kTicksPerRefresh = 10;

struct FolderLoad {
    session::Status status;
    FolderList folders;
};

struct Listing {
    session::Status status;
    Page page;
};

struct NewFolder {
    session::Status status;
    std::string id;
};

struct UploadOutcome {
    bool uploaded;  // the upload routine delivered the mail
    session::Status status;
};

// The operations whose failed connection has an "Error" box of its own.
std::optional<session::AlertedOperation> AlertedOperationOf(Work work) {
    switch (work) {
    case Work::CreateFolder: return session::AlertedOperation::CreateFolder;
    case Work::RenameFolder: return session::AlertedOperation::RenameFolder;
    case Work::DeleteFolder: return session::AlertedOperation::DeleteFolder;
    case Work::Move: return session::AlertedOperation::MoveMessages;
    case Work::Delete: return session::AlertedOperation::DeleteMessages;
    case Work::Download: return session::AlertedOperation::Download;
    case Work::LoadFolders:
    case Work::List:
    case Work::Upload: return std::nullopt;
    }
    return std::nullopt;
}

void Pause(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
}  // namespace

std::shared_ptr<Desktop> Desktop::Create(std::shared_ptr<session::Session> session, UiPoster postToUi,
                                         ProgressClock& clock) {
    return std::shared_ptr<Desktop>(new Desktop(std::move(session), std::move(postToUi), clock));
}

Desktop::Desktop(std::shared_ptr<session::Session> session, UiPoster postToUi, ProgressClock& clock)
    : session_(std::move(session)), executor_(std::make_unique<Executor>(std::move(postToUi))), clock_(clock) {}

void Desktop::AddView(DesktopView& view) {
    views_.push_back(&view);
}

void Desktop::RemoveView(DesktopView& view) {
    views_.erase(std::remove(views_.begin(), views_.end(), &view), views_.end());
}

bool Desktop::Finish(std::chrono::milliseconds bound) {
    executor_->Close();
    return executor_->WaitIdle(bound);
}

std::string Desktop::AccountName() const {
    return std::string(session::CellText(session_->accountName));
}

Desktop::Reply Desktop::ReplyChannel() {
    std::weak_ptr<Desktop> self = weak_from_this();
    UiPoster post = executor_->Poster();
    return [self, post](std::function<void(Desktop&)> task) {
        post([self, task = std::move(task)] {
            if (std::shared_ptr<Desktop> desktop = self.lock()) task(*desktop);
        });
    };
}

template <typename Result>
bool Desktop::Run(Lane lane, std::function<Result(session::Session&)> work,
                  std::function<void(Desktop&, const Result&)> done) {
    Reply reply = ReplyChannel();
    std::shared_ptr<session::Session> session = session_;
    bool onLane = lane == Lane::Session;
    bool started = executor_->Run(lane, [reply, session, onLane, work = std::move(work), done = std::move(done)] {
        Result result = work(*session);
        // The provider's code for a refusal is kept per thread: take it here.
        std::string refusal = session::LastRefusalCode();
        reply([onLane, done, result = std::move(result), refusal](Desktop& desktop) {
            if (onLane) desktop.LaneWorkEnded();
            desktop.refusalCode_ = refusal;
            done(desktop, result);
        });
    });
    if (!started) {
        SetStatus(kWorkNotStartedText);
        failureShown_ = true;  // the progress display's end must not cover it
        return false;
    }
    if (onLane && laneWork_++ == 0) Tell([](DesktopView& v) { v.BusyChanged(true); });
    return true;
}

void Desktop::LaneWorkEnded() {
    if (--laneWork_ == 0) Tell([](DesktopView& v) { v.BusyChanged(false); });
}

void Desktop::Tell(const std::function<void(DesktopView&)>& news) {
    // A view may show a box whose loop runs other results meanwhile: walk a
    // copy of the list.
    std::vector<DesktopView*> views = views_;
    for (DesktopView* view : views) news(*view);
}

void Desktop::SetStatus(const std::string& text) {
    Tell([&](DesktopView& v) { v.StatusChanged(text); });
}

void Desktop::Report(Work work, session::Status status) {
    if (status == session::Status::Ok) return;
    std::optional<session::AlertedOperation> alerted = AlertedOperationOf(work);
    if (status == session::Status::ConnectFailed && alerted) {
        std::string text = session::ConnectFailureText(*alerted);
        Tell([&](DesktopView& v) { v.ConnectionFailed(text); });
    }
    SetStatus(FailureText(work, status, refusalCode_));
}

void Desktop::ReportTransfer(Work work, session::Status status) {
    if (status == session::Status::Ok) return;
    Report(work, status);
    failureShown_ = true;  // the progress display's end leaves it standing
}

// ---- Folders ----------------------------------------------------------------

void Desktop::LoadFolders() {
    Run<FolderLoad>(
        Lane::Session,
        [](session::Session& s) {
            // The Session's folder table is filled on this lane only.
            session::ClearFolderTable(s.folderTable);
            session::Status status = session::GetAllFolders(s);
            return FolderLoad{status, FoldersOf(s.folderTable)};
        },
        [](Desktop& d, const FolderLoad& load) {
            d.folders_ = load.folders;
            d.Report(Work::LoadFolders, load.status);
            d.Tell([&](DesktopView& v) { v.FoldersLoaded(d.folders_); });
        });
}

void Desktop::OpenFolder(const std::string& folderId) {
    openFolderId_ = folderId;
    std::string title = FolderTitle(folders_, folderId);
    Tell([&](DesktopView& v) { v.FolderOpened(title); });
    ListOpenFolder();
}

void Desktop::ReloadOpenFolder() {
    if (!openFolderId_.empty()) ListOpenFolder();
}

void Desktop::ListOpenFolder(std::function<void(Desktop&, session::Status)> after) {
    unsigned listing = ++listing_;
    std::string folderId = openFolderId_;
    Run<Listing>(
        Lane::Session,
        [folderId](session::Session& s) {
            session::MessageTable table;
            session::InitMessageTable(table);
            session::Status status = session::ListMessages(s, folderId, table);
            return Listing{status, Page{folderId, MessagesOf(table)}};
        },
        [listing, after](Desktop& d, const Listing& result) {
            // Only the latest listing shows: an older one would put back a
            // page that a later command or folder has replaced.
            if (listing == d.listing_) {
                d.page_ = result.page;
                d.Tell([&](DesktopView& v) { v.PageShown(d.page_); });
                d.Report(Work::List, result.status);
            }
            if (after) after(d, result.status);
        });
}

void Desktop::CreateFolder(const std::string& nameUtf8) {
    Run<NewFolder>(
        Lane::Session,
        [nameUtf8](session::Session& s) {
            NewFolder made;
            made.status = session::CreateUserFolder(s, nameUtf8, made.id);
            return made;
        },
        [](Desktop& d, const NewFolder& made) {
            d.Report(Work::CreateFolder, made.status);
            // Nothing was made when nothing reached the provider.
            if (made.status == session::Status::ConnectFailed || made.status == session::Status::RequestTooLarge)
                return;
            std::uint32_t itemData = FolderIdToItemData(made.id);
            d.Tell([&](DesktopView& v) { v.FolderCreated(itemData); });
        });
}

void Desktop::RenameFolder(const std::string& folderId, const std::string& nameUtf8) {
    Run<session::Status>(
        Lane::Session,
        [folderId, nameUtf8](session::Session& s) { return session::RenameFolder(s, nameUtf8, folderId); },
        [](Desktop& d, const session::Status& status) {
            d.Report(Work::RenameFolder, status);
            // The tree shows the names the provider reports now.
            d.Tell([](DesktopView& v) { v.FoldersStale(); });
        });
}

void Desktop::DeleteFolder(const std::string& folderId) {
    Run<session::Status>(
        Lane::Session, [folderId](session::Session& s) { return session::DeleteFolder(s, folderId); },
        [](Desktop& d, const session::Status& status) { d.Report(Work::DeleteFolder, status); });
}

void Desktop::OnRefreshTick() {
    if (refreshTick_ < kTicksPerRefresh) {
        ++refreshTick_;
        return;
    }
    refreshTick_ = 1;
    Tell([](DesktopView& v) { v.FoldersStale(); });
}

// ---- Rows of the shown page ---------------------------------------------

session::MessageIdQueue Desktop::IdsOfRows(const std::vector<int>& rows) const {
    session::MessageIdQueue ids;
    for (int row : rows)
        if (row >= 0 && static_cast<std::size_t>(row) < page_.rows.size() && !page_.rows[row].id.empty())
            ids.push_back(page_.rows[row].id);
    return ids;
}

void Desktop::DeleteRows(const std::vector<int>& rows) {
    session::MessageIdQueue ids = IdsOfRows(rows);
    SetStatus(kDeletingText);
    Run<session::Status>(
        Lane::Session, [ids](session::Session& s) { return session::DeleteMessages(s, ids); },
        [](Desktop& d, const session::Status& deleted) {
            d.Report(Work::Delete, deleted);
            d.ListOpenFolder([deleted](Desktop& d, session::Status listed) {
                if (deleted == session::Status::Ok && listed == session::Status::Ok) d.SetStatus(kReadyText);
            });
        });
}

void Desktop::MoveRows(const std::vector<int>& rows, const std::string& targetFolderId, bool checked) {
    session::MessageIdQueue ids = IdsOfRows(rows);
    if (checked) SetStatus(kMovingText);
    Run<session::Status>(
        Lane::Session,
        [ids, targetFolderId](session::Session& s) { return session::MoveMessages(s, ids, targetFolderId); },
        [checked](Desktop& d, const session::Status& moved) {
            d.Report(Work::Move, moved);
            d.ListOpenFolder([checked, moved](Desktop& d, session::Status) {
                if (checked && moved == session::Status::Ok) d.SetStatus(kMoveDoneText);
            });
        });
}

// ---- Transfers --------------------------------------------------------------

bool Desktop::UploadSlotFree() const {
    return session_->uploadIdle.load() == 1 && !uploadStarting_;
}

void Desktop::StartUpload(const std::filesystem::path& path) {
    // The folder open now is the target, whatever is opened meanwhile.
    std::string target = openFolderId_;
    UploadPacing pacing = pacing_;
    Reply reply = ReplyChannel();
    uploadStarting_ = true;
    failureShown_ = false;
    StartProgress();
    bool started = Run<UploadOutcome>(
        Lane::Own,
        [path, target, pacing, reply](session::Session& s) {
            bool uploaded = false;
            auto onStage = [&](session::StoreStage stage) {
                if (stage != session::StoreStage::Uploaded) return;
                uploaded = true;
                reply([](Desktop& d) { d.UploadRoutineEnded(session::Status::Ok); });
                Pause(pacing.fetchNoticeDelayMs);
                reply([](Desktop& d) { d.SetStatus(kFetchingUploadText); });
            };
            session::StoreResult result = session::StoreFileInFolder(s, path, target, onStage, pacing.store);
            return UploadOutcome{uploaded, result.status};
        },
        [](Desktop& d, const UploadOutcome& outcome) {
            if (!outcome.uploaded) {
                d.UploadRoutineEnded(outcome.status);
                return;
            }
            if (outcome.status == session::Status::Ok)
                d.SetStatus(kUploadDoneText);
            else
                d.ReportTransfer(Work::Upload, outcome.status);
            d.ReloadOpenFolder();
        });
    if (!started) uploadStarting_ = false;
}

void Desktop::UploadRoutineEnded(session::Status status) {
    uploadStarting_ = false;
    ReportTransfer(Work::Upload, status);
    SettleProgress();
}

void Desktop::UploadChoiceCancelled() {
    // A transfer still travelling keeps the display; it ends it itself.
    StopProgressIfSettled();
    SetStatus(kUploadCancelledText);
}

DownloadCheck Desktop::CheckDownload(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= page_.rows.size()) return DownloadCheck::NoRow;
    if (!IsTrueInAnyCase(page_.rows[row].attached)) return DownloadCheck::NoAttachment;
    if (session_->downloadIdle.load() != 1 || downloadTaken_) return DownloadCheck::Busy;
    return DownloadCheck::Ready;
}

std::string Desktop::StartDownload(int row) {
    // The message is fixed now: a refill of the list while the save dialog
    // is open cannot change what is fetched.
    downloadId_ = page_.rows[row].id;
    downloadTaken_ = true;
    failureShown_ = false;
    StartProgress();
    session_->downloadTotal = kDownloadPendingMark;
    return ProposedFileName(page_.rows[row].subject);
}

void Desktop::DownloadTo(const std::filesystem::path& path) {
    std::string id = downloadId_;
    bool started = Run<session::Status>(
        Lane::Own, [id, path](session::Session& s) { return session::DownloadAttachment(s, id, path); },
        [](Desktop& d, const session::Status& status) {
            d.downloadTaken_ = false;
            // A download that went well is told by the progress display's end.
            d.ReportTransfer(Work::Download, status);
            d.SettleProgress();
        });
    if (!started) {
        downloadTaken_ = false;
        session_->downloadTotal = 0;
    }
}

void Desktop::DownloadChoiceCancelled() {
    downloadTaken_ = false;
    session_->downloadTotal = 0;  // the pending mark: the download never began
    StopProgressIfSettled();
    SetStatus(kDownloadCancelledText);
}

bool Desktop::TransfersSettled() const {
    const session::Session& s = *session_;
    return s.uploadIdle.load() == 1 && s.downloadIdle.load() == 1 && s.uploadTotal.load() == 0 &&
           s.downloadTotal.load() == 0 && !uploadStarting_ && !downloadTaken_;
}

void Desktop::StartProgress() {
    if (progressRunning_) return;
    progressRunning_ = true;
    clock_.Start();
}

void Desktop::StopProgressIfSettled() {
    if (!progressRunning_ || !TransfersSettled()) return;
    progressRunning_ = false;
    clock_.Stop();
}

void Desktop::OnProgressTick() {
    const session::Session& s = *session_;
    TransferCounts counts;
    counts.uploading = s.uploadIdle.load() == 0;
    counts.uploadSent = s.uploadSent.load();
    counts.uploadTotal = s.uploadTotal.load();
    counts.downloading = s.downloadIdle.load() == 0;
    counts.downloadReceived = s.downloadReceived.load();
    counts.downloadTotal = s.downloadTotal.load();
    std::string text = ProgressText(counts);
    Tell([&](DesktopView& v) { v.ProgressDrawn(text); });
    SettleProgress();
}

// Once nothing travels any more the display ends, at once when a transfer
// has reported its end: what the upload worker says next must come after.
void Desktop::SettleProgress() {
    if (!progressRunning_ || !TransfersSettled()) return;
    // A failure text that a transfer left says more than this.
    if (!failureShown_) SetStatus(kAllDoneText);
    StopProgressIfSettled();
}

// ---- The notice ---------------------------------------------------------

void Desktop::FetchNotice() {
    // A failed fetch shows nothing: the pane keeps its placeholder.
    Run<std::optional<std::string>>(
        Lane::Own,
        [](session::Session& s) -> std::optional<std::string> {
            std::string body;
            if (app::FetchNotice(NoticeEndpoints(s), s.limits, body) != session::Status::Ok) return std::nullopt;
            return NoticeTextFromBody(body);
        },
        [](Desktop& d, const std::optional<std::string>& text) {
            if (text) d.Tell([&](DesktopView& v) { v.NoticeArrived(*text); });
        });
}

}  // namespace app
