#include "app/desktop.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "app/file_listing.h"
#include "app/folder_tree_model.h"
#include "app/notice.h"
#include "catalog/file_sizes.h"
#include "catalog/manifest_cache.h"
#include "session/cells.h"
#include "session/folders.h"
#include "session/message_moves.h"
#include "session/raw_message.h"

namespace app {

namespace {
constexpr int kTicksPerRefresh = 10;

struct FolderLoad {
    session::Status status;
    FolderList folders;
};

// A folder's files as listed (or counted), and how the listing went.
struct Listed {
    catalog::Outcome outcome;
    FileListing listing;
};

struct Detailed {
    catalog::Outcome outcome;
    catalog::FileDetails details;
};

// The largest mail source taken: a part's attachment in base64 and its text.
constexpr std::uint64_t kLargestMailSource = std::uint64_t{3} << 30;

// Ids per move or delete request, so that a long selection never makes a
// request too large to send.
constexpr std::size_t kIdsPerRequest = 100;

// An empty selection still sends its one request, as the list always has.
template <typename Operation>
session::Status InBatches(const std::vector<std::string>& ids, Operation operation) {
    std::size_t at = 0;
    do {
        auto first = ids.begin() + static_cast<std::ptrdiff_t>(at);
        std::size_t count = std::min(kIdsPerRequest, ids.size() - at);
        session::Status status = operation(session::MessageIdQueue(first, first + static_cast<std::ptrdiff_t>(count)));
        if (status != session::Status::Ok) return status;
        at += count;
    } while (at < ids.size());
    return session::Status::Ok;
}

// Every file of the folder with its exact size, as far as the manifests
// (remembered in `sizes`) tell it. A read that failed once is tried again:
// what was read before it stays in the cache, so the second round reads
// only the rest, and one connection that broke does not leave a thousand
// sizes unknown.
catalog::Outcome SizedFiles(catalog::MailStore& store, catalog::ManifestCache& sizes, FileListing& listing) {
    std::vector<catalog::FileEntry> files;
    for (const FileRow& row : listing.rows) files.push_back(row.file);
    catalog::Outcome outcome = catalog::FillFileSizes(store, sizes, files);
    if (!outcome.Ok() && outcome.code != catalog::StoreCode::Cancelled)
        outcome = catalog::FillFileSizes(store, sizes, files);
    for (std::size_t i = 0; i < files.size(); ++i) listing.rows[i].file = std::move(files[i]);
    return outcome;
}

struct NewFolder {
    session::Status status;
    std::string id;
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
    case Work::Upload:
    case Work::Search:
    case Work::Properties:
    case Work::Empty: return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

std::shared_ptr<Desktop> Desktop::Create(std::shared_ptr<session::Session> session, UiPoster postToUi,
                                         ProgressClock& clock) {
    return std::shared_ptr<Desktop>(new Desktop(std::move(session), std::move(postToUi), clock));
}

Desktop::Desktop(std::shared_ptr<session::Session> session, UiPoster postToUi, ProgressClock& clock)
    : session_(std::move(session)),
      executor_(std::make_unique<Executor>(std::move(postToUi))),
      clock_(clock),
      sizes_(std::make_shared<catalog::ManifestCache>()) {}

void Desktop::AddView(DesktopView& view) {
    views_.push_back(&view);
}

void Desktop::RemoveView(DesktopView& view) {
    views_.erase(std::remove(views_.begin(), views_.end(), &view), views_.end());
}

bool Desktop::Finish(std::chrono::milliseconds bound) {
    // A transfer cut short leaves its target as it was.
    meter_->cancel = true;
    queue_.clear();
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

void Desktop::ReportOutcome(Work work, const catalog::Outcome& outcome) {
    if (outcome.Ok()) return;
    std::optional<session::AlertedOperation> alerted = AlertedOperationOf(work);
    if (outcome.code == catalog::StoreCode::Unreachable && alerted) {
        std::string text = session::ConnectFailureText(*alerted);
        Tell([&](DesktopView& v) { v.ConnectionFailed(text); });
    }
    SetStatus(FailureText(work, outcome.Text()));
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

std::string Desktop::CurrentTitle() const {
    return FolderTitle(folders_, openFolderId_, files_.FileCount());
}

void Desktop::OpenFolder(const std::string& folderId) {
    openFolderId_ = folderId;
    searchText_.clear();
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
// when they are in. Only the latest listing shows.
void Desktop::ListOpenFolder(std::function<void(Desktop&, bool)> after) {
    unsigned listing = ++listing_;
    std::string folderId = openFolderId_;
    std::string search = searchText_;
    webmail::WebmailOptions options = pacing_.store;
    std::shared_ptr<catalog::ManifestCache> sizes = sizes_;
    Reply reply = ReplyChannel();
    Run<Listed>(
        Lane::Session,
        [folderId, search, options, sizes, reply, listing](session::Session& s) {
            webmail::WebmailStore store(s, options);
            Listed listed;
            listed.outcome = ListFolderFiles(store, folderId, search, listed.listing);
            if (!listed.outcome.Ok()) return listed;
            // The rows go out now; the sizes follow in this result.
            reply([first = listed.listing, listing](Desktop& d) {
                if (listing != d.listing_) return;
                d.files_.Show(first);
                d.ShowFiles(true);
            });
            catalog::Outcome sized = SizedFiles(store, *sizes, listed.listing);
            if (!sized.Ok()) listed.outcome = sized;
            return listed;
        },
        [listing, after](Desktop& d, const Listed& result) {
            if (listing == d.listing_) {
                if (!result.listing.rows.empty() || result.outcome.Ok()) {
                    d.files_.TakeSizes(result.listing.rows);
                    d.ShowFiles(false);
                }
                d.ReportOutcome(result.listing.searchText.empty() ? Work::List : Work::Search, result.outcome);
            }
            if (after) after(d, result.outcome.Ok());
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

void Desktop::ShowFolderProperties(const std::string& folderId) {
    webmail::WebmailOptions options = pacing_.store;
    std::shared_ptr<catalog::ManifestCache> sizes = sizes_;
    Run<Listed>(
        Lane::Session,
        [folderId, options, sizes](session::Session& s) {
            webmail::WebmailStore store(s, options);
            Listed counted;
            counted.outcome = ListFolderFiles(store, folderId, "", counted.listing);
            if (counted.outcome.Ok()) counted.outcome = SizedFiles(store, *sizes, counted.listing);
            return counted;
        },
        [folderId](Desktop& d, const Listed& counted) {
            if (!counted.outcome.Ok()) return d.ReportOutcome(Work::Properties, counted.outcome);
            FolderSummary summary;
            summary.id = folderId;
            for (const Folder& folder : d.folders_)
                if (ReadFolderId(folder.id) == ReadFolderId(folderId)) summary.name = folder.name, summary.unread = folder.unreadCount;
            summary.files = counted.listing.rows.size();
            for (const FileRow& row : counted.listing.rows)
                summary.bytes += row.file.sizeKnown ? row.file.size : row.file.listedSize;
            std::string text = FolderPropertiesText(summary);
            d.Tell([&](DesktopView& v) { v.PropertiesReady(text); });
        });
}

void Desktop::AskEmptyFolder(const std::string& folderId) {
    webmail::WebmailOptions options = pacing_.store;
    Run<Listed>(
        Lane::Session,
        [folderId, options](session::Session& s) {
            webmail::WebmailStore store(s, options);
            Listed counted;
            counted.outcome = ListFolderFiles(store, folderId, "", counted.listing);
            return counted;
        },
        [folderId](Desktop& d, const Listed& counted) {
            if (!counted.outcome.Ok()) return d.ReportOutcome(Work::Empty, counted.outcome);
            EmptyFolderRequest request;
            request.folderId = folderId;
            request.name = folderId;
            for (const Folder& folder : d.folders_)
                if (ReadFolderId(folder.id) == ReadFolderId(folderId)) request.name = folder.name;
            request.files = counted.listing.rows.size();
            for (const FileRow& row : counted.listing.rows)
                for (const std::string& id : row.file.MailIds()) request.mailIds.push_back(id);
            d.Tell([&](DesktopView& v) { v.EmptyFolderAsked(request); });
        });
}

void Desktop::EmptyFolder(const EmptyFolderRequest& request) {
    SetStatus(kDeletingText);
    webmail::WebmailOptions options = pacing_.store;
    std::string folderId = request.folderId;
    std::vector<std::string> ids = request.mailIds;
    Run<catalog::Outcome>(
        Lane::Session,
        [ids, options](session::Session& s) {
            webmail::WebmailStore store(s, options);
            return store.DeleteMails(ids);
        },
        [folderId](Desktop& d, const catalog::Outcome& outcome) {
            d.ReportOutcome(Work::Empty, outcome);
            if (outcome.Ok()) d.SetStatus(kReadyText);
            d.Tell([](DesktopView& v) { v.FoldersStale(); });
            if (ReadFolderId(folderId) == ReadFolderId(d.openFolderId_)) d.ReloadOpenFolder();
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

// ---- Files of the list ------------------------------------------------------

void Desktop::DeleteRows(const std::vector<std::size_t>& items) {
    std::vector<std::string> ids = MailIdsOf(files_, items);
    SetStatus(kDeletingText);
    Run<session::Status>(
        Lane::Session,
        [ids](session::Session& s) {
            return InBatches(ids, [&](session::MessageIdQueue batch) { return session::DeleteMessages(s, batch); });
        },
        [](Desktop& d, const session::Status& deleted) {
            d.Report(Work::Delete, deleted);
            d.ListOpenFolder([deleted](Desktop& d, bool listed) {
                if (deleted == session::Status::Ok && listed) d.SetStatus(kReadyText);
            });
        });
}

void Desktop::MoveRows(const std::vector<std::size_t>& items, const std::string& targetFolderId, bool checked) {
    std::vector<std::string> ids = MailIdsOf(files_, items);
    if (checked) SetStatus(kMovingText);
    Run<session::Status>(
        Lane::Session,
        [ids, targetFolderId](session::Session& s) {
            return InBatches(ids, [&](session::MessageIdQueue batch) {
                return session::MoveMessages(s, batch, targetFolderId);
            });
        },
        [checked](Desktop& d, const session::Status& moved) {
            d.Report(Work::Move, moved);
            d.ListOpenFolder([checked, moved](Desktop& d, bool) {
                if (checked && moved == session::Status::Ok) d.SetStatus(kMoveDoneText);
            });
        });
}

void Desktop::ShowFileProperties(std::size_t item) {
    const FileRow* row = files_.Row(item);
    if (!row) return;
    std::string key = row->file.key;
    catalog::FileEntry listed = row->file;
    webmail::WebmailOptions options = pacing_.store;
    Run<Detailed>(
        Lane::Session,
        [key, listed, options](session::Session& s) {
            webmail::WebmailStore store(s, options);
            Detailed detailed;
            detailed.outcome = catalog::StatFile(store, key, detailed.details);
            // The listing already knows the group; the key's manifest says the rest.
            if (detailed.outcome.Ok() && detailed.details.entry.present.empty()) detailed.details.entry = listed;
            return detailed;
        },
        [key](Desktop& d, const Detailed& detailed) {
            if (!detailed.outcome.Ok()) return d.ReportOutcome(Work::Properties, detailed.outcome);
            auto verdict = d.verdicts_.find(key);
            std::string text = FilePropertiesText(
                detailed.details, verdict == d.verdicts_.end() ? DownloadVerdict::NotYet : verdict->second);
            d.Tell([&](DesktopView& v) { v.PropertiesReady(text); });
        });
}

// ---- Transfers --------------------------------------------------------------

void Desktop::QueueUploads(const std::vector<std::filesystem::path>& paths) {
    for (const std::filesystem::path& path : paths) {
        QueuedTransfer item;
        item.upload = true;
        item.path = path;
        item.name = path.filename().u8string();
        // The folder open now is the target, whatever is opened meanwhile.
        item.folderId = openFolderId_;
        queue_.push_back(std::move(item));
        ++queueTotal_;
    }
    StartNextTransfer();
}

void Desktop::UploadChoiceCancelled() {
    SetStatus(kUploadCancelledText);
}

DownloadCheck Desktop::CheckDownload(const std::vector<std::size_t>& items) const {
    if (items.empty() || !files_.Row(items.front())) return DownloadCheck::NoRow;
    for (std::size_t item : items)
        if (const FileRow* row = files_.Row(item); row && row->attached) return DownloadCheck::Ready;
    return DownloadCheck::NoAttachment;
}

std::string Desktop::ProposedName(std::size_t item) const {
    const FileRow* row = files_.Row(item);
    return row ? ProposedFileName(row->file.name) : std::string();
}

void Desktop::QueueDownloads(const std::vector<std::size_t>& items, const std::filesystem::path& target) {
    bool intoFolder = items.size() > 1;
    for (std::size_t item : items) {
        const FileRow* row = files_.Row(item);
        if (!row || !row->attached) continue;
        QueuedTransfer download;
        download.upload = false;
        download.key = row->file.key;
        download.name = row->file.name;
        // A name that is no file's name ("", "..") must not name the folder itself.
        std::string name = ProposedFileName(row->file.name);
        if (name.empty() || name == "." || name == "..") name = ProposedFileName(row->file.key);
        download.path = intoFolder ? target.parent_path() / std::filesystem::u8path(name) : target;
        queue_.push_back(std::move(download));
        ++queueTotal_;
    }
    StartNextTransfer();
}

void Desktop::DownloadChoiceCancelled() {
    SetStatus(kDownloadCancelledText);
}

void Desktop::StartNextTransfer() {
    if (transferRunning_) return;
    if (queue_.empty()) {
        queueDone_ = queueTotal_ = 0;
        return;
    }
    current_ = std::move(queue_.front());
    queue_.pop_front();
    transferRunning_ = true;
    if (current_.upload) uploadsInRun_ = true;
    meter_->done = 0;
    meter_->total = 0;
    if (!progressRunning_) {
        progressRunning_ = true;
        clock_.Start();
    }
    std::shared_ptr<Meter> meter = meter_;
    QueuedTransfer item = current_;
    UploadPacing pacing = pacing_;
    bool started = Run<catalog::Outcome>(
        Lane::Own,
        [item, meter, pacing](session::Session& s) {
            webmail::WebmailStore store(s, pacing.store);
            catalog::ProgressCallback progress = [meter](const catalog::TransferProgress& p) {
                meter->done = p.phase == catalog::TransferProgress::Phase::Hashing ? 0 : p.done;
                meter->total = p.total;
                return !meter->cancel.load();
            };
            if (item.upload) {
                catalog::PutOptions options;
                options.partSize = pacing.partSize;
                options.progress = progress;
                catalog::PutResult result;
                return catalog::PutFile(store, item.path, item.folderId, options, result);
            }
            catalog::GetOptions options;
            options.progress = progress;
            return catalog::GetFile(store, item.key, item.path, options);
        },
        [item](Desktop& d, const catalog::Outcome& outcome) { d.TransferEnded(item, outcome); });
    if (!started) TransferEnded(item, catalog::Failure(catalog::StoreCode::Cancelled, "no thread"));
}

void Desktop::TransferEnded(const QueuedTransfer& item, const catalog::Outcome& outcome) {
    transferRunning_ = false;
    ++queueDone_;
    if (!item.upload) {
        if (outcome.Ok())
            verdicts_[item.key] = DownloadVerdict::Verified;
        else if (outcome.code == catalog::StoreCode::Corrupt)
            verdicts_[item.key] = DownloadVerdict::Failed;
    }
    if (!outcome.Ok()) {
        queueFailure_ = FailureText(item.upload ? Work::Upload : Work::Download, item.name + ": " + outcome.Text());
        SetStatus(queueFailure_);
    }
    // A stored file shows in the list when it went to the folder open now.
    if (item.upload && outcome.Ok() && ReadFolderId(item.folderId) == ReadFolderId(openFolderId_)) ReloadOpenFolder();
    if (!queue_.empty()) return StartNextTransfer();
    // The run is over: its last failure stands, else what it did.
    if (progressRunning_) {
        progressRunning_ = false;
        clock_.Stop();
    }
    if (queueFailure_.empty()) SetStatus(uploadsInRun_ ? kUploadDoneText : kAllDoneText);
    else SetStatus(queueFailure_);
    queueFailure_.clear();
    uploadsInRun_ = false;
    queueDone_ = queueTotal_ = 0;
}

void Desktop::DownloadMail(std::size_t item, const std::filesystem::path& target) {
    const FileRow* row = files_.Row(item);
    if (!row) return;
    std::vector<std::pair<std::string, std::filesystem::path>> mails;
    for (const catalog::FilePart& part : row->file.present)
        mails.emplace_back(part.mailId, MailPathOf(target, part.number, row->file.parts));
    Run<session::Status>(
        Lane::Own,
        [mails](session::Session& s) {
            for (const auto& [id, path] : mails) {
                // A source is its attachment in base64 and a little more.
                session::Status status = session::DownloadRawMessage(s, id, path, kLargestMailSource);
                if (status != session::Status::Ok) return status;
            }
            return session::Status::Ok;
        },
        [](Desktop& d, const session::Status& status) {
            if (status == session::Status::Ok) d.SetStatus(kAllDoneText);
            else d.Report(Work::Download, status);
        });
}

void Desktop::OnProgressTick() {
    if (!transferRunning_) return;
    std::string text = QueueLine(current_.upload ? "上传" : "下载", queueDone_ + 1, queueTotal_, current_.name,
                                 meter_->done.load(), meter_->total.load());
    Tell([&](DesktopView& v) { v.ProgressDrawn(text); });
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
