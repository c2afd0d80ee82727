// The desktop's folders moved whole: a dropped directory into the open
// folder, a folder of the mailbox to a local directory. The folders are made
// on a lane first; then every file is a row of the transfer queue.
#include "app/desktop.h"
#include "app/desktop_run.h"
#include "app/file_listing.h"
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

using NamesTaken = std::map<std::string, std::vector<std::string>>;  // a whole file's name -> its mails

struct MadeTree {
    TreeUpload plan;
    std::map<std::string, std::string> folderIds;  // dir -> the store's id
    std::map<std::string, NamesTaken> taken;       // dir -> the whole files already in its folder
};

// The whole files of each folder the tree goes in: a dropped folder that
// meets one of its name adds to it, and a name taken there is asked about.
catalog::Outcome ListTaken(catalog::MailStore& store, MadeTree& made) {
    for (const auto& [dir, id] : made.folderIds) {
        FileListing listing;
        catalog::Outcome outcome = ListFolderFiles(store, id, "", listing);
        if (!outcome.Ok()) return outcome;
        for (const FileRow& row : listing.rows)
            if (row.file.Whole()) made.taken[dir][row.file.name] = row.file.MailIds();
    }
    return catalog::Success();
}

// One answer "for all" holds for the whole tree, and a cancel cancels it all.
ConflictAsker TreeAsker(const ConflictAsker& ask, std::shared_ptr<std::optional<ConflictAnswer>> kept) {
    return [ask, kept](const std::string& name) {
        if (*kept) return **kept;
        ConflictAnswer answer = ask(name);
        if (answer.forAll || answer.choice == ConflictChoice::CancelAll) *kept = answer;
        return answer;
    };
}
}  // namespace

void Desktop::QueueTreeUpload(const fs::path& dropped, const ConflictAsker& ask) {
    // The folder open now is the target, whatever is opened meanwhile.
    std::string targetId = folderIds_.StoreId(openFolderId_);
    if (targetId.empty())
        return SetStatus(FailureText(Work::Upload, catalog::Failure(catalog::StoreCode::NotFound, "no folder open")));
    Run<MadeTree>(
        Lane::Session,
        [dropped, targetId](catalog::MailStore& store, MadeTree& made) {
            catalog::Outcome outcome = PlanTreeUpload(dropped, made.plan);
            if (outcome.Ok()) outcome = MakeTreeFolders(store, targetId, made.plan.dirs, made.folderIds);
            return outcome.Ok() ? ListTaken(store, made) : outcome;
        },
        [ask](Desktop& d, const catalog::Outcome& outcome, const MadeTree& made) {
            // The folders made so far show, whatever came of the rest.
            if (!made.folderIds.empty()) d.Tell([](DesktopView& v) { v.FoldersStale(); });
            if (!outcome.Ok()) return d.ReportOutcome(Work::Upload, outcome);
            std::map<std::string, std::vector<fs::path>> byDir;
            std::map<fs::path, std::uint64_t> sizes;
            for (const TreeUploadFile& file : made.plan.files)
                byDir[file.dir].push_back(file.source), sizes[file.source] = file.size;
            auto kept = std::make_shared<std::optional<ConflictAnswer>>();
            std::vector<TransferRow> rows;
            for (const auto& [dir, sources] : byDir) {
                auto folder = made.folderIds.find(dir);
                if (folder == made.folderIds.end()) continue;  // every walked directory was made
                auto taken = made.taken.find(dir);
                std::vector<PlannedUpload> planned =
                    PlanUploads(sources, taken == made.taken.end() ? NamesTaken{} : taken->second,
                                ask ? TreeAsker(ask, kept) : ConflictAsker{});
                for (PlannedUpload& upload : planned) {
                    std::uint64_t size = sizes[upload.source];
                    rows.push_back(
                        UploadRow(std::move(upload), size, d.folderIds_.ViewId(folder->second), folder->second));
                }
            }
            if (*kept && (*kept)->choice == ConflictChoice::CancelAll) return d.SetStatus(kUploadCancelledText);
            d.QueueRows(std::move(rows),
                        made.plan.skipped.empty() ? std::string() : SkippedLine(kTreeSkippedText, made.plan.skipped));
        });
}

void Desktop::DownloadFolder(const std::string& folderId, const fs::path& targetDir) {
    std::string storeId = folderIds_.StoreId(folderId);
    if (storeId.empty()) return;
    // Its files would come under their sealed names, in their sealed bytes.
    if (FolderVault(folderId) != VaultState::None) return SetStatus(kVaultFolderDownloadRefusedText);
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
