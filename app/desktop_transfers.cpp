// The desktop's transfer queue: one row at a time, each moved by the
// catalog's parts engine (catalog/transfers.h), which takes up what an
// interrupted earlier run left: the parts already in the mailbox for an
// upload, the parts already written and checked for a download. The rows
// are kept on disk (transfer_saved.h) at every change of state, so a run
// that ends in any way leaves them for the next one to offer.
#include <chrono>

#include "app/desktop.h"
#include "app/desktop_run.h"
#include "app/transfer_saved.h"
#include "catalog/local_name.h"
#include "catalog/transfers.h"
#include "vault/sealed_files.h"

namespace app {

namespace {
namespace fs = std::filesystem;

// What one item came to: the run's outcome, else the file's own.
template <typename Report>
catalog::Outcome ItemOutcome(const catalog::Outcome& run, const std::vector<Report>& reports) {
    if (!run.Ok() || reports.empty()) return run;
    return reports.front().outcome;
}

std::uint64_t NowMillis() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// The whole files of the listing by name, with their mails. An incomplete
// group is an earlier run's upload that the new one takes up: not a conflict.
std::map<std::string, std::vector<std::string>> WholeFilesByName(const FileList& files) {
    std::map<std::string, std::vector<std::string>> names;
    for (std::size_t i = 0; i < files.Count(); ++i)
        if (const FileRow* row = files.Row(i); row && row->file.Whole()) names[row->file.name] = row->file.MailIds();
    return names;
}

// An upload stored under another name than its file's ("name (2).ext"):
// the engine names a file after its source, so it sends a link (else a
// copy) of the file under the new name, made in `staging`.
catalog::Outcome StagedSource(const fs::path& staging, const TransferRow& row, fs::path& source) {
    source = row.local;
    if (row.local.filename().u8string() == row.name) return catalog::Success();
    std::error_code error;
    const fs::path dir = staging / std::to_string(row.id);
    fs::remove_all(dir, error);
    fs::create_directories(dir, error);
    source = dir / fs::u8path(row.name);
    fs::create_hard_link(row.local, source, error);
    if (error) fs::copy_file(row.local, source, fs::copy_options::overwrite_existing, error = {});
    if (error) return catalog::Failure(catalog::StoreCode::LocalFile, row.name + ": " + error.message());
    return catalog::Success();
}

struct StoredUpload {
    std::string trashFailure;  // the replaced file could not be moved to the trash
};

// Stores the row's file; the file it replaces goes to the trash only once
// the new one is whole in the folder, and not when the engine found the
// very same file already there (its key is then one of the old mails).
// A vault's file is sealed into a staging copy first (sealed_files.h).
catalog::Outcome Upload(catalog::MailStore& store, const TransferRow& row, const fs::path& staging,
                        const catalog::TransferSettings& settings, const vault::VaultKey* vaultKey,
                        StoredUpload& stored) {
    if (row.sealed && !vaultKey) return VaultNotOpened();
    fs::path source;
    catalog::Outcome outcome = StagedSource(staging, row, source);
    std::vector<catalog::PutReport> reports;
    if (outcome.Ok() && vaultKey)
        outcome = ItemOutcome(
            vault::PutSealedFiles(store, *vaultKey, {source}, row.storeFolderId, staging / "sealed", settings, reports),
            reports);
    else if (outcome.Ok())
        outcome = ItemOutcome(catalog::PutFiles(store, {source}, row.storeFolderId, settings, reports), reports);
    if (source != row.local) {
        std::error_code error;
        fs::remove_all(source.parent_path(), error);
    }
    if (!outcome.Ok() || row.replaces.empty()) return outcome;
    const std::string& key = reports.front().key;
    if (std::find(row.replaces.begin(), row.replaces.end(), key) != row.replaces.end()) return outcome;
    catalog::Outcome trashed = store.DeleteMails(row.replaces);
    if (!trashed.Ok()) stored.trashFailure = trashed.Text();
    return outcome;
}
}  // namespace

// The one way the desktop fetches a file: the parts engine, which checks
// every part and replaces the target only with the whole file.
catalog::Outcome Fetch(catalog::MailStore& store, const std::string& key, const fs::path& target,
                       const catalog::TransferSettings& settings) {
    std::vector<catalog::GetReport> reports;
    return ItemOutcome(catalog::GetFiles(store, {{key, target}}, settings, reports), reports);
}

void Desktop::QueueUploads(const std::vector<std::filesystem::path>& dropped, const ConflictAsker& ask) {
    std::vector<fs::path> paths;
    for (const fs::path& path : dropped) {
        std::error_code error;
        if (fs::is_directory(path, error) && OpenFolderIsVault()) return SetStatus(kVaultFolderRefusedText);
        if (fs::is_directory(path, error))
            QueueTreeUpload(path, ask);
        else
            paths.push_back(path);
    }
    if (paths.empty() && !dropped.empty()) return;
    const bool sealed = OpenFolderIsVault();
    if (sealed && FolderVault(openFolderId_) != VaultState::Open) return SetStatus(kVaultLockedText);
    // No folder open (its folder was deleted): nowhere to store them.
    if (openFolderId_.empty())
        return SetStatus(FailureText(Work::Upload, catalog::Failure(catalog::StoreCode::NotFound, "no folder open")));
    std::vector<PlannedUpload> planned = PlanUploads(paths, WholeFilesByName(files_), ask);
    if (planned.empty() && !paths.empty()) SetStatus(kUploadCancelledText);
    for (PlannedUpload& upload : planned) {
        std::error_code error;
        std::uint64_t size = fs::file_size(upload.source, error);
        // The folder open now is the target, whatever is opened meanwhile.
        TransferRow row =
            UploadRow(std::move(upload), error ? 0 : size, openFolderId_, folderIds_.StoreId(openFolderId_));
        row.sealed = sealed;
        transfers_.Add(std::move(row));
        ++queueTotal_;
    }
    TransfersMoved();
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
    if (!row) return std::string();
    // The save dialog shows the name before anything is written: a name
    // the local-name rule refuses is offered with its unsafe characters
    // replaced, and the user sees and may change it.
    std::string local;
    if (catalog::LocalNameFor(row->file.name, local).Ok()) return local;
    return ProposedFileName(row->file.name);
}

void Desktop::QueueDownloads(const std::vector<std::size_t>& items, const std::filesystem::path& target) {
    bool intoFolder = items.size() > 1;
    std::string skipped;
    for (std::size_t item : items) {
        const FileRow* row = files_.Row(item);
        if (!row || !row->attached) continue;
        // Into a folder nobody reviews the names: one the rule refuses is
        // not written under any name, as `get` into a directory does.
        std::string local;
        if (intoFolder && !catalog::LocalNameFor(row->file.name, local).Ok()) {
            skipped += (skipped.empty() ? "" : ", ") + catalog::EscapedName(row->file.name);
            continue;
        }
        TransferRow download = DownloadRow(*row);
        download.local = intoFolder ? target.parent_path() / std::filesystem::u8path(local) : target;
        transfers_.Add(std::move(download));
        ++queueTotal_;
    }
    if (!skipped.empty()) SetStatus(kUnsafeNameSkippedText + skipped);
    TransfersMoved();
    StartNextTransfer();
}

void Desktop::OpenFile(std::size_t item) {
    const FileRow* row = files_.Row(item);
    if (!row || !row->attached) return;
    std::string local;
    if (!catalog::LocalNameFor(row->file.name, local).Ok()) local = ProposedFileName(row->file.name);
    TransferRow download = DownloadRow(*row);
    download.openWhenDone = true;
    // A folder per file key: two files of one name never meet.
    std::error_code error;
    fs::path dir = fs::temp_directory_path(error) / "Vantlo" / ShortDigest(row->file.key);
    fs::create_directories(dir, error);
    download.local = dir / fs::u8path(local);
    transfers_.Add(std::move(download));
    ++queueTotal_;
    TransfersMoved();
    StartNextTransfer();
}

void Desktop::DownloadChoiceCancelled() {
    SetStatus(kDownloadCancelledText);
}

void Desktop::ActOnTransfer(std::uint64_t id, TransferAction action) {
    if (!transfers_.Apply(id, action)) return;
    const TransferRow* row = transfers_.Find(id);
    if (row && row->stopAsked) meter_->stop.RequestStop();
    if (action == TransferAction::Resume || action == TransferAction::Retry) ++queueTotal_;
    TransfersMoved();
    StartNextTransfer();
}

void Desktop::PauseTransfers() {
    if (!transfers_.PauseAll()) return;
    if (const TransferRow* row = transfers_.Find(currentId_); row && row->stopAsked) meter_->stop.RequestStop();
    TransfersMoved();
}

void Desktop::ContinueTransfers() {
    bool changed = transfers_.ResumeAll();
    for (const TransferRow& row : transfers_.Rows())
        if (row.state == TransferState::Failed) changed = transfers_.Apply(row.id, TransferAction::Retry) || changed;
    if (!changed) return;
    for (const TransferRow& row : transfers_.Rows()) queueTotal_ += row.state == TransferState::Waiting ? 1 : 0;
    TransfersMoved();
    StartNextTransfer();
}

bool Desktop::TransfersPaused() const {
    bool paused = false;
    for (const TransferRow& row : transfers_.Rows()) {
        if (row.state == TransferState::Waiting || row.state == TransferState::Running) return false;
        paused = paused || row.state == TransferState::Paused;
    }
    return paused;
}

void Desktop::ClearFinishedTransfers() {
    transfers_.ClearFinished();
    TransfersMoved();
}

void Desktop::KeepTransfersIn(const std::filesystem::path& file) {
    transfersFile_ = file;
    std::vector<TransferRow> left = LoadTransfers(file);
    // Held until the user says to go on: the files may have changed, the
    // user may have other plans.
    for (const TransferRow& row : left) transfers_.Restore(row);
    if (left.empty()) return;
    TransfersMoved();
    Tell([n = left.size()](DesktopView& v) { v.TransfersLeftOver(n); });
}

// Every change of a row's state is kept on disk and shown.
void Desktop::TransfersMoved() {
    if (!transfersFile_.empty()) SaveTransfers(transfersFile_, transfers_.Rows());
    Tell([&](DesktopView& v) { v.TransfersChanged(transfers_); });
}

void Desktop::StartNextTransfer() {
    if (transferRunning_) return;
    TransferRow* next = transfers_.NextWaiting();
    if (!next) {
        if (!runIds_.empty()) QueueEnded();
        return;
    }
    currentId_ = next->id;
    transfers_.Started(currentId_);
    runIds_.push_back(currentId_);
    transferRunning_ = true;
    if (next->upload) uploadsInRun_ = true;
    meter_ = std::make_shared<Meter>();  // a stopped worker keeps its own
    speed_.Reset();
    if (!progressRunning_) {
        progressRunning_ = true;
        clock_.Start();
    }
    TransfersMoved();
    std::shared_ptr<Meter> meter = meter_;
    TransferRow item = *transfers_.Find(currentId_);
    catalog::TransferSettings settings;
    settings.transfers = pacing_.transfers;
    settings.partSize = pacing_.partSize;
    settings.progress = [meter](const catalog::TransferProgress& p) {
        meter->done = p.phase == catalog::TransferProgress::Phase::Hashing ? 0 : p.done;
        meter->total = p.total;
    };
    settings.stop = meter->stop.Token();
    fs::path staging =
        (transfersFile_.empty() ? fs::temp_directory_path() : transfersFile_.parent_path()) / "vantlo-staging";
    std::shared_ptr<const vault::VaultKey> vaultKey = item.sealed ? VaultKeyOf(item.storeFolderId) : nullptr;
    bool started = Run<StoredUpload>(
        Lane::Own,
        [item, settings, staging, vaultKey](catalog::MailStore& store, StoredUpload& stored) {
            if (item.upload) return Upload(store, item, staging, settings, vaultKey.get(), stored);
            if (!item.sealed) return Fetch(store, item.key, item.local, settings);
            if (!vaultKey) return VaultNotOpened();
            return FetchSealed(store, *vaultKey, item.storeFolderId, item.name, item.local, settings);
        },
        [item](Desktop& d, const catalog::Outcome& outcome, const StoredUpload& stored) {
            d.TransferEnded(item, outcome, stored.trashFailure);
        });
    if (!started) TransferEnded(item, catalog::Failure(catalog::StoreCode::Cancelled, "no thread"), {});
}

void Desktop::TransferEnded(const TransferRow& item, const catalog::Outcome& outcome, const std::string& trashFailure) {
    transferRunning_ = false;
    ++queueDone_;
    if (!item.upload) {
        if (outcome.Ok())
            verdicts_[item.key] = DownloadVerdict::Verified;
        else if (outcome.code == catalog::StoreCode::Corrupt)
            verdicts_[item.key] = DownloadVerdict::Failed;
    }
    const TransferRow* row = transfers_.Find(item.id);
    bool stopped = outcome.code == catalog::StoreCode::Cancelled && row && row->stopAsked;
    if (outcome.Ok()) {
        transfers_.Ended(item.id, TransferQueue::End::Stored);
    } else if (stopped) {
        transfers_.Ended(item.id, TransferQueue::End::Stopped);
    } else {
        std::string failure = FailureText(item.upload ? Work::Upload : Work::Download, item.name, outcome);
        transfers_.Ended(item.id, TransferQueue::End::Failed, outcome.Text());
        queueFailure_ = failure;
        SetStatus(failure);
    }
    if (outcome.Ok() && item.openWhenDone) Tell([&](DesktopView& v) { v.FileFetchedToOpen(item.local); });
    if (!trashFailure.empty()) {
        queueFailure_ = FailureText(Work::Delete, "旧的 " + item.name + " 未能移到“已删除”: " + trashFailure);
        SetStatus(queueFailure_);
    }
    TransfersMoved();
    // A stored file shows in the list when it went to the folder open now.
    if (item.upload && outcome.Ok() && ReadFolderId(item.folderId) == ReadFolderId(openFolderId_)) ReloadOpenFolder();
    StartNextTransfer();
}

// The run is over: its last failure stands, else what it did; the tray says
// how it went.
void Desktop::QueueEnded() {
    if (progressRunning_) {
        progressRunning_ = false;
        clock_.Stop();
    }
    std::vector<TransferRow> run;
    bool failed = false;
    for (std::uint64_t id : runIds_) {
        const TransferRow* row = transfers_.Find(id);
        if (!row || (row->state != TransferState::Done && row->state != TransferState::Failed)) continue;
        run.push_back(*row);
        failed = failed || row->state == TransferState::Failed;
    }
    if (uploadsInRun_) RefreshSpaceUsed();
    if (queueFailure_.empty())
        SetStatus(uploadsInRun_ ? kUploadDoneText : kAllDoneText);
    else
        SetStatus(queueFailure_);
    if (!run.empty()) {
        std::string text = QueueEndedText(run);
        Tell([&](DesktopView& v) { v.TransfersEnded(text, failed); });
    }
    queueFailure_.clear();
    uploadsInRun_ = false;
    queueDone_ = queueTotal_ = 0;
    runIds_.clear();
}

void Desktop::OnProgressTick() {
    if (!transferRunning_) return;
    TransferRow* row = transfers_.Find(currentId_);
    if (!row) return;
    std::uint64_t done = meter_->done.load(), total = meter_->total.load();
    transfers_.Progress(currentId_, done, total);
    speed_.Sample(NowMillis(), done);
    row->bytesPerSecond = speed_.BytesPerSecond();
    std::string text = QueueLine(row->upload ? "上传" : "下载", queueDone_ + 1, std::max(queueTotal_, queueDone_ + 1),
                                 row->name, done, total, row->bytesPerSecond);
    Tell([&](DesktopView& v) {
        v.TransfersChanged(transfers_);
        v.ProgressDrawn(text);
    });
}

TransferRow UploadRow(PlannedUpload upload, std::uint64_t size, std::string folderId, std::string storeFolderId) {
    TransferRow row;
    row.upload = true;
    row.local = std::move(upload.source);
    row.name = std::move(upload.name);
    row.replaces = std::move(upload.replaces);
    row.size = size;
    row.folderId = std::move(folderId);
    row.storeFolderId = std::move(storeFolderId);
    return row;
}

}  // namespace app
