// put, get: storing local files into a folder (in parts over the part
// size) and putting them back together, checked, several parts at once
// through one pool, with a progress bar over all the files on a terminal.
// Both resume: run again, the same command sends or fetches only what the
// interrupted run left.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

#include "catalog/catalog.h"
#include "catalog/download.h"
#include "catalog/local_name.h"
#include "catalog/transfers.h"
#include "catalog/tree_transfer.h"
#include "catalog/upload_record.h"
#include "cli/command.h"
#include "cli/mailbox.h"
#include "cli/operation_arguments.h"
#include "cli/progress_bar.h"
#include "cli/remote_paths.h"
#include "cli/vault_commands.h"
#include "cli/vault_sync.h"

namespace cli {
namespace {

constexpr unsigned kDefaultTransfers = 4;
constexpr unsigned kMostTransfers = 16;

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

// Takes --part-size and --transfers out of args; false after telling why.
bool TakeOptions(Context& context, const std::vector<std::string>& args, bool partSize,
                 catalog::TransferSettings& settings, std::vector<std::string>& positional, int& status) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--transfers") {
            const std::string value = i + 1 < args.size() ? args[++i] : "";
            bool digits =
                !value.empty() && value.size() <= 2 && value.find_first_not_of("0123456789") == std::string::npos;
            settings.transfers = digits ? static_cast<unsigned>(std::stoul(value)) : 0;
            if (settings.transfers >= 1 && settings.transfers <= kMostTransfers) continue;
            status = UsageError(context, "--transfers needs a number of parts at once from 1 to 16");
            return false;
        }
        if (args[i] != "--part-size" || !partSize) {
            positional.push_back(args[i]);
        } else if (i + 1 == args.size() || !ParsePartSize(args[++i], settings.partSize)) {
            status = UsageError(context, "--part-size needs a size from 1 byte to below 2G, e.g. 32M, 512K, 1G");
            return false;
        }
    }
    return true;
}

std::string Resumed(std::uint32_t kept, std::uint32_t parts, const char* what) {
    return "resumed: " + std::to_string(kept) + " of " + std::to_string(parts) + " parts already " + what;
}

// Running the same command again finishes an interrupted put, except when
// a part is too large for one mail: that part never fits, however often it
// is sent.
std::string WhatNext(const catalog::Outcome& outcome, const catalog::TransferSettings& settings) {
    if (outcome.code != catalog::StoreCode::TooLarge)
        return "the parts stored stay, and the same command finishes the job";
    return "the mailbox takes no mail that large, so running the command again will not help: store the file with "
           "a smaller --part-size (below the " +
           std::to_string(settings.partSize) + " bytes used)";
}

// The account's record of upload ids, beside its manifest cache; empty when
// there is no cache directory.
std::filesystem::path UploadRecordPath(Context& context) {
    std::filesystem::path path = ManifestCachePath(context.account);
    if (!path.empty()) path.replace_extension(".uploads");
    return path;
}

bool TakeFlag(std::vector<std::string>& positional, const std::string& flag) {
    auto found = std::find(positional.begin(), positional.end(), flag);
    if (found == positional.end()) return false;
    positional.erase(found);
    return true;
}

std::unique_ptr<catalog::UploadRecordFile> KeepUploadIds(Context& context, catalog::TransferSettings& settings) {
    std::filesystem::path kept = UploadRecordPath(context);
    if (kept.empty()) return nullptr;
    auto record = std::make_unique<catalog::UploadRecordFile>(kept);
    settings.record = record.get();
    return record;
}

// put -r DIR... REMOTE_DIR: what each DIR holds goes into REMOTE_DIR with
// the same shape (made when missing), through one engine and one progress.
int PutTrees(Context& context, const std::vector<std::string>& positional, catalog::TransferSettings settings) {
    std::vector<catalog::LocalTree> trees;
    for (std::size_t i = 0; i + 1 < positional.size(); ++i) {
        catalog::LocalTree tree;
        catalog::Outcome walked = catalog::WalkLocalTree(PathArgument(positional[i]), tree);
        if (!walked.Ok())
            return Fail(context, "cannot read directory '" + OutputField(positional[i]) + "': " + walked.detail);
        for (const std::string& skipped : tree.skipped) context.err << "skipped " << OutputField(skipped) << '\n';
        trees.push_back(std::move(tree));
    }
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    RemotePaths paths(context, *store);
    RemotePath target;
    catalog::Outcome outcome = paths.Resolve(positional.back(), target, false);
    std::string rootId = target.folderId;
    if (outcome.Ok() && target.kind == RemotePath::Kind::File)
        return Fail(context, "not a folder: '" + OutputField(positional.back()) + "'");
    if (outcome.Ok() && target.kind == RemotePath::Kind::Missing)
        outcome = catalog::MakeFolderPath(*store, paths.Tree(), positional.back(), rootId);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "make folder '" + OutputField(positional.back()) + "'");
    std::vector<std::string> dirs;
    for (const catalog::LocalTree& tree : trees) dirs.insert(dirs.end(), tree.dirs.begin(), tree.dirs.end());
    if (int refused =
            RefuseVaultsBelow(context, *store, paths.Tree(), rootId, target.kind == RemotePath::Kind::Folder, dirs);
        refused != kExitOk)
        return refused;
    Progress progress;
    settings.progress = progress.Callback();
    std::unique_ptr<catalog::UploadRecordFile> record = KeepUploadIds(context, settings);
    std::unique_ptr<ProgressBar> bar = BarFor(context, progress, "reading the files for their SHA-256...");
    int result = kExitOk;
    for (const catalog::LocalTree& tree : trees) {
        std::vector<catalog::TreePutReport> reports;
        outcome = catalog::PutTree(*store, paths.Tree(), rootId, tree.dirs, tree.files, settings, reports);
        for (const catalog::TreePutReport& report : reports) {
            if (report.report.alreadyStored > 0)
                context.err << OutputField(report.path) << ": "
                            << Resumed(report.report.alreadyStored, report.report.parts, "stored") << '\n';
            if (report.report.outcome.Ok())
                context.out << report.report.key << '\t' << OutputField(report.path) << '\n';
            else
                result = Fail(context, "could not store '" + OutputField(report.path) +
                                           "': " + OutputField(report.report.outcome.Text()) + "; " +
                                           WhatNext(report.report.outcome, settings));
        }
        if (!outcome.Ok() && result == kExitOk) result = OutcomeFailed(context, outcome, "store the tree");
    }
    if (bar) bar->Stop();
    return result;
}

// get -r FOLDER... DIR: what each folder holds, written below DIR (made
// when missing) with the same shape.
int GetTrees(Context& context, const std::vector<std::string>& positional, catalog::TransferSettings settings) {
    const std::filesystem::path out = PathArgument(positional.back());
    std::error_code error;
    std::filesystem::create_directories(out, error);
    if (!std::filesystem::is_directory(out, error)) return Fail(context, "not a directory: '" + Shown(out) + "'");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    RemotePaths paths(context, *store);
    Progress progress;
    settings.progress = progress.Callback();
    std::unique_ptr<ProgressBar> bar = BarFor(context, progress, "");
    int result = kExitOk;
    for (std::size_t i = 0; i + 1 < positional.size(); ++i) {
        RemotePath source;
        catalog::Outcome outcome = paths.Resolve(positional[i], source);
        if (outcome.Ok() && source.kind != RemotePath::Kind::Folder)
            outcome = catalog::Failure(catalog::StoreCode::NotFound, "no such folder");
        if (outcome.Ok() && source.folderId.empty()) {
            result = Fail(context, kTopHoldsFolders);
            continue;
        }
        bool vault = false;
        if (outcome.Ok()) outcome = IsVaultFolder(*store, source.folderId, vault);
        if (outcome.Ok() && vault) {
            // Opened, under the files' own names: never the sealed files as they are stored.
            if (int got = GetVaultFolder(context, *store, source.folderId, out, settings); got != kExitOk) result = got;
            continue;
        }
        catalog::RemoteTree tree;
        if (outcome.Ok()) outcome = catalog::WalkRemoteTree(*store, paths.Tree(), source.folderId, tree);
        if (!outcome.Ok()) {
            result = OutcomeFailed(context, outcome, "list '" + OutputField(positional[i]) + "'");
            continue;
        }
        // A vault below is fetched opened, under its files' own names, and
        // left out of the plain fetch.
        std::vector<catalog::RemoteFile> plain = tree.files;
        for (const std::string& below : VaultsBelow(tree.files)) {
            const std::string inside = below + "/";
            plain.erase(
                std::remove_if(plain.begin(), plain.end(),
                               [&](const catalog::RemoteFile& file) { return file.path.rfind(inside, 0) == 0; }),
                plain.end());
            const auto dir = std::find(tree.dirs.begin(), tree.dirs.end(), below);
            std::filesystem::path local;
            outcome = dir == tree.dirs.end() ? catalog::Failure(catalog::StoreCode::NotFound, "not listed")
                                             : catalog::LocalPathBelow(out, below, true, local);
            if (!outcome.Ok()) {
                result = OutcomeFailed(context, outcome, "fetch the vault '" + OutputField(below) + "'");
                continue;
            }
            const std::string& id = tree.dirIds[static_cast<std::size_t>(dir - tree.dirs.begin())];
            if (int got = GetVaultFolder(context, *store, id, local, settings); got != kExitOk) result = got;
        }
        std::vector<catalog::TreeGetReport> reports;
        std::vector<std::string> skipped;
        catalog::GetTree(*store, tree.dirs, plain, out, settings, reports, skipped);
        for (const std::string& dir : skipped) result = Fail(context, "skipped folder " + OutputField(dir));
        for (const catalog::TreeGetReport& report : reports)
            if (!report.report.outcome.Ok())
                result = Fail(context, "could not fetch '" + catalog::EscapedName(report.path) +
                                           "': " + OutputField(report.report.outcome.Text()));
    }
    if (bar) bar->Stop();
    return result;
}

int RunPut(Context& context, const std::vector<std::string>& args) {
    catalog::TransferSettings settings{context.transfers ? context.transfers : kDefaultTransfers,
                                       context.partSize ? context.partSize : catalog::kDefaultPartSize,
                                       {},
                                       {}};
    std::vector<std::string> positional;
    int status = kExitOk;
    if (!TakeOptions(context, args, true, settings, positional, status)) return status;
    const bool recursive = TakeFlag(positional, "-r");
    if (positional.size() < 2 || positional.back().empty())
        return UsageError(context, "usage: put [-r] [--part-size SIZE] [--transfers N] SOURCE... REMOTE_DIR");
    if (recursive) return PutTrees(context, positional, settings);
    std::string folderId = positional.back();
    // Local problems are told before anything is sent.
    std::vector<std::filesystem::path> files;
    for (std::size_t i = 0; i + 1 < positional.size(); ++i) {
        files.push_back(PathArgument(positional[i]));
        if (int checked = CheckPutSource(context, files.back()); checked != kExitOk) return checked;
    }

    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    RemotePaths paths(context, *store);
    RemotePath target;
    catalog::Outcome outcome = paths.Resolve(folderId, target);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "look up '" + OutputField(folderId) + "'");
    if (target.kind != RemotePath::Kind::Folder) return Fail(context, "no folder '" + OutputField(folderId) + "'");
    folderId = target.folderId;
    // The tree a path was found in: listed once, whether the folder came by path or by id.
    if (!paths.Tree().Folder(folderId)) {
        if (outcome = paths.Loaded(); !outcome.Ok()) return OutcomeFailed(context, outcome, "list the folders");
        return Fail(context, "no folder with id " + folderId);
    }
    bool vault = false;
    if (outcome = IsVaultFolder(*store, folderId, vault); !outcome.Ok())
        return OutcomeFailed(context, outcome, "look into '" + OutputField(positional.back()) + "'");
    if (vault) return PutIntoVault(context, *store, folderId, files, settings);  // sealed, never plain
    Progress progress;
    settings.progress = progress.Callback();
    std::unique_ptr<catalog::UploadRecordFile> record = KeepUploadIds(context, settings);
    std::unique_ptr<ProgressBar> bar = BarFor(context, progress, "reading the files for their SHA-256...");
    std::vector<catalog::PutReport> reports;
    catalog::PutFiles(*store, files, folderId, settings, reports);
    if (bar) bar->Stop();
    int result = kExitOk;
    for (const catalog::PutReport& report : reports) {
        const std::string shown = files.size() > 1 ? Shown(report.source) + ": " : "";
        if (report.lookAlikes > 0)
            context.err << shown << report.lookAlikes
                        << " part(s) found in the mailbox did not hold this file's bytes; they were left there and "
                           "the parts sent again\n";
        if (report.alreadyStored > 0)
            context.err << shown << Resumed(report.alreadyStored, report.parts, "stored") << '\n';
        if (report.outcome.Ok()) {
            context.out << report.key << (files.size() > 1 ? '\t' + Shown(report.source) : "") << '\n';
            continue;
        }
        result = Fail(context, "could not store '" + Shown(report.source) + "' in folder " + folderId + ": " +
                                   OutputField(report.outcome.Text()) + "; " + WhatNext(report.outcome, settings));
    }
    return result;
}

int RunGet(Context& context, const std::vector<std::string>& args) {
    catalog::TransferSettings settings{context.transfers ? context.transfers : kDefaultTransfers,
                                       context.partSize ? context.partSize : catalog::kDefaultPartSize,
                                       {},
                                       {}};
    std::vector<std::string> positional;
    int status = kExitOk;
    if (!TakeOptions(context, args, false, settings, positional, status)) return status;
    if (positional.size() < 2) return UsageError(context, "usage: get [--transfers N] KEY OUT_PATH | KEY... DIR");
    const bool recursive = TakeFlag(positional, "-r");
    if (positional.size() < 2)
        return UsageError(context, "usage: get [-r] [--transfers N] PATH OUT_PATH | PATH... DIR");
    const std::filesystem::path out = PathArgument(positional.back());
    if (out.empty()) return UsageError(context, "the output path is empty");
    if (recursive) return GetTrees(context, positional, settings);
    std::error_code error;
    const bool intoDirectory = std::filesystem::is_directory(out, error);
    if (positional.size() > 2 && !intoDirectory) return Fail(context, "not a directory: '" + Shown(out) + "'");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);

    std::vector<catalog::GetRequest> requests;
    RemotePaths paths(context, *store);
    for (std::size_t i = 0; i + 1 < positional.size(); ++i) {
        RemotePath source;
        catalog::Outcome found = paths.ResolveFile(positional[i], source);
        if (!found.Ok()) return OutcomeFailed(context, found, "look up '" + OutputField(positional[i]) + "'");
        if (source.kind == RemotePath::Kind::Folder)
            return Fail(context, "'" + OutputField(positional[i]) + "' is a folder: get -r fetches it");
        bool vault = false;
        if (source.kind == RemotePath::Kind::Missing && source.parentFound &&
            (found = IsVaultFolder(*store, source.folderId, vault)).Ok() && vault) {
            // A vault's file, by its own name (the listing shows it sealed).
            if (positional.size() > 2) return Fail(context, "a vault's files are fetched one at a time");
            std::string local = source.name;
            if (intoDirectory && !(found = catalog::LocalNameFor(source.name, local)).Ok())
                return Fail(context, "'" + OutputField(source.name) + "' cannot be a local name: " + found.detail);
            return GetFromVault(context, *store, source.folderId, source.name,
                                intoDirectory ? out / PathArgument(local) : out, settings);
        }
        if (!found.Ok()) return OutcomeFailed(context, found, "look up '" + OutputField(positional[i]) + "'");
        if (source.kind != RemotePath::Kind::File)
            return Fail(context, "no such file: '" + OutputField(positional[i]) + "'");
        if (!intoDirectory) {
            requests.push_back({source.key, out});
            continue;
        }
        // Into a directory: each file under its own name.
        catalog::FileEntry entry;
        catalog::MailText keyMail;
        catalog::Outcome outcome = catalog::LocateFile(*store, source.key, entry, keyMail);
        if (!outcome.Ok()) return OutcomeFailed(context, outcome, "find file " + positional[i]);
        std::string local;
        outcome = catalog::LocalNameFor(entry.name, local);
        if (!outcome.Ok())
            return Fail(context, "file " + positional[i] + " cannot be written into a directory under its name: " +
                                     outcome.detail + "; fetch it one at a time with an output path");
        requests.push_back({source.key, out / PathArgument(local)});
        for (std::size_t k = 0; k + 1 < requests.size(); ++k)
            if (requests[k].target == requests.back().target)
                return Fail(context, "files " + requests[k].key + " and " + positional[i] + " are both named '" +
                                         catalog::EscapedName(local) + "'; fetch them one at a time");
    }
    Progress progress;
    settings.progress = progress.Callback();
    std::unique_ptr<ProgressBar> bar = BarFor(context, progress, "");
    std::vector<catalog::GetReport> reports;
    catalog::GetFiles(*store, requests, settings, reports);
    if (bar) bar->Stop();
    int result = kExitOk;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const catalog::GetReport& report = reports[i];
        for (const std::filesystem::path& aside : report.setAside)
            context.err << "something not ours stood where the temporary file goes; it was moved to '" << Shown(aside)
                        << "'\n";
        if (report.alreadyVerified > 0)
            context.err << (requests.size() > 1 ? Shown(requests[i].target) + ": " : "")
                        << Resumed(report.alreadyVerified, report.parts, "fetched and verified") << '\n';
        if (report.outcome.Ok()) continue;
        result = Fail(context, "could not fetch file " + requests[i].key + ": " + OutputField(report.outcome.Text()) +
                                   "; '" + Shown(requests[i].target) + "' was left as it was");
    }
    return result;
}

CommandRegistration put({"put", "[-r] [--part-size SIZE] [--transfers N] SOURCE... REMOTE_DIR",
                         "store files (-r: what directories hold, same shape) and print their keys", 2, -1, false,
                         RunPut});
CommandRegistration get({"get", "[-r] [--transfers N] PATH OUT_PATH | PATH... DIR",
                         "fetch files (-r: a folder's tree), checked, into OUT_PATH or DIR", 2, -1, false, RunGet});

}  // namespace
}  // namespace cli
