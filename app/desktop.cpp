#include "app/desktop.h"

#include <algorithm>
#include <optional>

#include "app/desktop_run.h"
#include "app/notice.h"
#include "app/transfer_saved.h"
#include "catalog/file_sizes.h"

namespace app {

catalog::Outcome SizedFiles(catalog::MailStore& store, catalog::ManifestCache& sizes, FileListing& listing) {
    std::vector<catalog::FileEntry> files;
    for (const FileRow& row : listing.rows) files.push_back(row.file);
    catalog::Outcome outcome = catalog::FillFileSizes(store, sizes, files);
    if (!outcome.Ok() && outcome.code != catalog::StoreCode::Cancelled)
        outcome = catalog::FillFileSizes(store, sizes, files);
    for (std::size_t i = 0; i < files.size(); ++i) listing.rows[i].file = std::move(files[i]);
    return outcome;
}

std::shared_ptr<Desktop> Desktop::Create(SignedInAccount account, UiPoster postToUi, ProgressClock& clock) {
    return std::shared_ptr<Desktop>(new Desktop(std::move(account), std::move(postToUi), clock));
}

Desktop::Desktop(SignedInAccount account, UiPoster postToUi, ProgressClock& clock)
    : accountName_(account.name),
      providerOverride_(account.providerOverride),
      stores_(std::make_shared<StoreSource>(std::move(account.store), kDesktopConnections)),
      executor_(std::make_unique<Executor>(std::move(postToUi))),
      clock_(clock),
      sizes_(std::make_shared<catalog::ManifestCache>()),
      folderIds_(stores_->InboxId()) {}

void Desktop::AddView(DesktopView& view) {
    views_.push_back(&view);
}

void Desktop::RemoveView(DesktopView& view) {
    views_.erase(std::remove(views_.begin(), views_.end(), &view), views_.end());
}

bool Desktop::Finish(std::chrono::milliseconds bound) {
    // A transfer cut short leaves its target as it was, and what it sent
    // for the next run to take up.
    meter_->stop.RequestStop();
    // What was left stays on disk for the next run; nothing more starts.
    if (!transfersFile_.empty()) SaveTransfers(transfersFile_, transfers_.Rows());
    transfersFile_.clear();
    transfers_.PauseAll();
    executor_->Close();
    return executor_->WaitIdle(bound);
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

void Desktop::ReportOutcome(Work work, const catalog::Outcome& outcome) {
    if (outcome.Ok()) return;
    if (outcome.code == catalog::StoreCode::Unreachable) {
        if (const char* alert = ConnectFailureText(work)) {
            std::string text = alert;
            Tell([&](DesktopView& v) { v.ConnectionFailed(text); });
        }
    }
    SetStatus(FailureText(work, outcome));
}

void Desktop::FetchNotice() {
    // A failed fetch shows nothing: the pane keeps its placeholder.
    Reply reply = ReplyChannel();
    std::string provider = providerOverride_;
    bool started = executor_->Run(Lane::Own, [reply, provider] {
        std::optional<std::string> text = FetchNoticeText(provider);
        if (text) reply([text](Desktop& d) { d.Tell([&](DesktopView& v) { v.NoticeArrived(*text); }); });
    });
    if (!started) SetStatus(kWorkNotStartedText);
}

}  // namespace app
