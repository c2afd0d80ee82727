// put, get: storing a local file into a folder (in parts over the part
// size) and putting it back together, checked, with a progress bar over
// the whole file on a terminal.
#include <atomic>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

#include "catalog/catalog.h"
#include "catalog/download.h"
#include "cli/command.h"
#include "cli/mailbox.h"
#include "cli/operation_arguments.h"
#include "cli/progress_bar.h"
#include "session/xml_text.h"

namespace cli {
namespace {

// What the progress callback saw last, for the bar's thread to draw.
struct Progress {
    std::atomic<bool> moving{false};
    std::atomic<std::int64_t> done{0};
    std::atomic<std::int64_t> total{0};

    catalog::ProgressCallback Callback() {
        return [this](const catalog::TransferProgress& p) {
            moving = p.phase != catalog::TransferProgress::Phase::Hashing;
            done = static_cast<std::int64_t>(p.done);
            total = static_cast<std::int64_t>(p.total);
            return true;
        };
    }
};

// The bar runs only while standard error is a terminal; otherwise nothing
// but the command's own output and error lines appear.
std::unique_ptr<ProgressBar> BarFor(Context& context, Progress& progress, const std::string& note) {
    if (!StandardErrorIsTerminal()) return nullptr;
    auto bar = std::make_unique<ProgressBar>(context.err, [&progress] {
        return TransferReading{progress.moving.load(), progress.done.load(), progress.total.load()};
    });
    bar->SetNote(note);
    return bar;
}

bool FolderExists(catalog::MailStore& store, const std::string& folderId, catalog::Outcome& outcome) {
    std::vector<catalog::FolderInfo> folders;
    outcome = store.ListFolders(folders);
    for (const catalog::FolderInfo& folder : folders)
        if (folder.id == folderId) return true;
    return false;
}

int RunPut(Context& context, const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    std::uint64_t partSize = catalog::kDefaultPartSize;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--part-size") {
            positional.push_back(args[i]);
        } else if (i + 1 == args.size() || !ParsePartSize(args[++i], partSize)) {
            return UsageError(context, "--part-size needs a size from 1 byte to below 2G, e.g. 32M, 512K, 1G");
        }
    }
    if (positional.size() != 2) return UsageError(context, "usage: put [--part-size SIZE] FILE FOLDER_ID");
    std::filesystem::path file = PathArgument(positional[0]);
    const std::string& folderId = positional[1];
    if (!IsFolderId(context, folderId)) return UsageError(context, "not a folder id: '" + OutputField(folderId) + "'");
    // Local problems are told before anything is sent.
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return Fail(context, "not a readable file: '" + Shown(file) + "'");
    auto name = file.filename().u8string();
    if (!session::IsCleanText(std::string(name.begin(), name.end())))
        return Fail(context, "cannot store '" + Shown(file) + "': its name holds control characters or is not UTF-8");
    catalog::Outcome outcome;

    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    if (!FolderExists(*store, folderId, outcome)) {
        if (!outcome.Ok()) return OutcomeFailed(context, outcome, "list the folders");
        return Fail(context, "no folder with id " + folderId);
    }
    Progress progress;
    catalog::PutOptions options{partSize, progress.Callback()};
    std::unique_ptr<ProgressBar> bar = BarFor(context, progress, "reading the file for its SHA-256...");
    catalog::PutResult result;
    outcome = catalog::PutFile(*store, file, folderId, options, result);
    if (bar) bar->Stop();
    if (!outcome.Ok()) {
        std::string kept;
        if (!result.storedMailIds.empty())
            kept = "; " + std::to_string(result.storedMailIds.size()) + " of " + std::to_string(result.parts) +
                   " parts were stored and stay in the folder";
        return Fail(context, "could not store '" + Shown(file) + "' in folder " + folderId + ": " +
                                 OutputField(outcome.Text()) + kept);
    }
    context.out << result.key << '\n';
    return kExitOk;
}

int RunGet(Context& context, const std::vector<std::string>& args) {
    const std::string& key = args[0];
    std::filesystem::path target = PathArgument(args[1]);
    if (!CheckKeys(context, args.begin(), args.begin() + 1)) return kExitUsage;
    if (target.empty()) return UsageError(context, "the output path is empty");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    Progress progress;
    catalog::GetOptions options{progress.Callback()};
    std::unique_ptr<ProgressBar> bar = BarFor(context, progress, "");
    RemoveOnStop(catalog::TemporaryPathFor(target));
    catalog::Outcome outcome = catalog::GetFile(*store, key, target, options);
    RemoveOnStop({});
    if (bar) bar->Stop();
    if (!outcome.Ok())
        return Fail(context, "could not fetch file " + key + ": " + OutputField(outcome.Text()) + "; '" +
                                 Shown(target) + "' was left as it was");
    return kExitOk;
}

CommandRegistration put({"put", "[--part-size SIZE] FILE FOLDER_ID", "store a file and print its key", 2, 4, false,
                         RunPut});
CommandRegistration get({"get", "KEY OUT_PATH", "fetch a file, checked, into OUT_PATH", 2, 2, false, RunGet});

}  // namespace
}  // namespace cli
