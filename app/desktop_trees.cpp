// The desktop's folders moved whole: a dropped directory into the open
// folder, a folder of the mailbox to a local directory. The folders are made
// on a lane first; then every file is a row of the transfer queue.
#include "app/desktop.h"
#include "app/desktop_run.h"
#include "app/tree_plan.h"
#include "catalog/local_name.h"

namespace app {

namespace {
namespace fs = std::filesystem;

// How many names a status line lists before it says how many more.
constexpr std::size_t kSkippedNamesShown = 3;

std::string SkippedLine(const char* lead, const std::vector<std::string>& skipped) {
    std::string line = lead;
    for (std::size_t i = 0; i < skipped.size() && i < kSkippedNamesShown; ++i) line += (i ? "; " : "") + skipped[i];
    if (skipped.size() > kSkippedNamesShown) line += " 等 " + std::to_string(skipped.size()) + " 项";
    return line;
}

struct MadeTree {
    TreeUpload plan;
    std::map<std::string, std::string> folderIds;  // dir -> the store's id
};
}  // namespace

void Desktop::QueueTreeUpload(const fs::path& dropped) {
    // The folder open now is the target, whatever is opened meanwhile.
    std::string targetId = folderIds_.StoreId(openFolderId_);
    if (targetId.empty())
        return SetStatus(FailureText(Work::Upload, catalog::Failure(catalog::StoreCode::NotFound, "no folder open")));
    Run<MadeTree>(
        Lane::Session,
        [dropped, targetId](catalog::MailStore& store, MadeTree& made) {
            catalog::Outcome outcome = PlanTreeUpload(dropped, made.plan);
            return outcome.Ok() ? MakeTreeFolders(store, targetId, made.plan.dirs, made.folderIds) : outcome;
        },
        [](Desktop& d, const catalog::Outcome& outcome, const MadeTree& made) {
            // The folders made so far show, whatever came of the rest.
            if (!made.folderIds.empty()) d.Tell([](DesktopView& v) { v.FoldersStale(); });
            if (!outcome.Ok()) return d.ReportOutcome(Work::Upload, outcome);
            std::vector<TransferRow> rows;
            for (const TreeUploadFile& file : made.plan.files) {
                auto folder = made.folderIds.find(file.dir);
                if (folder == made.folderIds.end()) continue;  // every walked directory was made
                TransferRow row;
                row.upload = true;
                row.local = file.source;
                auto name = file.source.filename().u8string();
                row.name.assign(name.begin(), name.end());
                row.size = file.size;
                row.storeFolderId = folder->second;
                row.folderId = d.folderIds_.ViewId(row.storeFolderId);
                rows.push_back(std::move(row));
            }
            d.QueueRows(std::move(rows),
                        made.plan.skipped.empty() ? std::string() : SkippedLine(kTreeSkippedText, made.plan.skipped));
        });
}

void Desktop::DownloadFolder(const std::string& folderId, const fs::path& targetDir) {
    std::string storeId = folderIds_.StoreId(folderId);
    if (storeId.empty()) return;
    std::shared_ptr<catalog::ManifestCache> sizes = sizes_;
    Run<TreeDownload>(
        Lane::Session,
        [storeId, targetDir, sizes](catalog::MailStore& store, TreeDownload& plan) {
            return PlanTreeDownload(store, storeId, targetDir, sizes.get(), plan);
        },
        [](Desktop& d, const catalog::Outcome& outcome, const TreeDownload& plan) {
            if (!outcome.Ok()) return d.ReportOutcome(Work::Download, outcome);
            std::vector<TransferRow> rows;
            for (const TreeDownloadFile& file : plan.files) {
                TransferRow row;
                row.upload = false;
                row.key = file.key;
                row.name = file.name;
                row.size = file.size;
                row.local = file.target;
                rows.push_back(std::move(row));
            }
            d.QueueRows(std::move(rows),
                        plan.skipped.empty() ? std::string() : SkippedLine(kUnsafeNameSkippedText, plan.skipped));
        });
}

void Desktop::QueueRows(std::vector<TransferRow> rows, const std::string& skippedLine) {
    for (TransferRow& row : rows) {
        transfers_.Add(std::move(row));
        ++queueTotal_;
    }
    // It stands when the queue ends, as a failed row's text does.
    if (!skippedLine.empty()) SetStatus(queueFailure_ = skippedLine);
    TransfersMoved();
    StartNextTransfer();
}

}  // namespace app
