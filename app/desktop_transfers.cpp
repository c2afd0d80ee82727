// The desktop's transfer queue: one item at a time, each moved by the
// catalog's parts engine (catalog/transfers.h), which takes up what an
// interrupted earlier run left: the parts already in the mailbox for an
// upload, the parts already written and checked for a download.
#include "app/desktop.h"

#include "app/desktop_run.h"
#include "catalog/local_name.h"
#include "catalog/transfers.h"

namespace app {

namespace {
// What one item came to: the run's outcome, else the file's own.
template <typename Report>
catalog::Outcome ItemOutcome(const catalog::Outcome& run, const std::vector<Report>& reports) {
    if (!run.Ok() || reports.empty()) return run;
    return reports.front().outcome;
}
}  // namespace

void Desktop::QueueUploads(const std::vector<std::filesystem::path>& paths) {
    for (const std::filesystem::path& path : paths) {
        QueuedTransfer item;
        item.upload = true;
        item.path = path;
        item.name = path.filename().u8string();
        // The folder open now is the target, whatever is opened meanwhile.
        item.folderId = openFolderId_;
        item.storeFolderId = folderIds_.StoreId(openFolderId_);
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
        QueuedTransfer download;
        download.upload = false;
        download.key = row->file.key;
        download.name = row->file.name;
        download.path = intoFolder ? target.parent_path() / std::filesystem::u8path(local) : target;
        queue_.push_back(std::move(download));
        ++queueTotal_;
    }
    if (!skipped.empty()) SetStatus(kUnsafeNameSkippedText + skipped);
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
    catalog::TransferSettings settings;
    settings.transfers = pacing_.transfers;
    settings.partSize = pacing_.partSize;
    settings.progress = [meter](const catalog::TransferProgress& p) {
        meter->done = p.phase == catalog::TransferProgress::Phase::Hashing ? 0 : p.done;
        meter->total = p.total;
    };
    settings.stop = meter->stop.Token();
    bool started = Run<bool>(
        Lane::Own,
        [item, settings](catalog::MailStore& store, bool&) {
            if (item.upload) {
                std::vector<catalog::PutReport> reports;
                catalog::Outcome run = catalog::PutFiles(store, {item.path}, item.storeFolderId, settings, reports);
                return ItemOutcome(run, reports);
            }
            std::vector<catalog::GetReport> reports;
            catalog::Outcome run = catalog::GetFiles(store, {{item.key, item.path}}, settings, reports);
            return ItemOutcome(run, reports);
        },
        [item](Desktop& d, const catalog::Outcome& outcome, const bool&) { d.TransferEnded(item, outcome); });
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
        queueFailure_ = FailureText(item.upload ? Work::Upload : Work::Download, item.name, outcome);
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
    if (queueFailure_.empty())
        SetStatus(uploadsInRun_ ? kUploadDoneText : kAllDoneText);
    else
        SetStatus(queueFailure_);
    queueFailure_.clear();
    uploadsInRun_ = false;
    queueDone_ = queueTotal_ = 0;
}

void Desktop::OnProgressTick() {
    if (!transferRunning_) return;
    std::string text = QueueLine(current_.upload ? "上传" : "下载", queueDone_ + 1, queueTotal_, current_.name,
                                 meter_->done.load(), meter_->total.load());
    Tell([&](DesktopView& v) { v.ProgressDrawn(text); });
}

}  // namespace app
