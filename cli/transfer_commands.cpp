// put, get: storing local files into a folder (in parts over the part
// size) and putting them back together, checked, several parts at once
// through one pool, with a progress bar over all the files on a terminal.
// Both resume: run again, the same command sends or fetches only what the
// interrupted run left.
#include <atomic>
#include <filesystem>
#include <memory>
#include <ostream>
#include <system_error>

#include "catalog/catalog.h"
#include "catalog/download.h"
#include "catalog/local_name.h"
#include "catalog/transfers.h"
#include "catalog/upload_record.h"
#include "cli/command.h"
#include "cli/mailbox.h"
#include "cli/operation_arguments.h"
#include "cli/progress_bar.h"
#include "session/xml_text.h"

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

bool FolderExists(catalog::MailStore& store, const std::string& folderId, catalog::Outcome& outcome) {
    std::vector<catalog::FolderInfo> folders;
    outcome = store.ListFolders(folders);
    for (const catalog::FolderInfo& folder : folders)
        if (folder.id == folderId) return true;
    return false;
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

int RunPut(Context& context, const std::vector<std::string>& args) {
    catalog::TransferSettings settings{context.transfers ? context.transfers : kDefaultTransfers,
                                       context.partSize ? context.partSize : catalog::kDefaultPartSize,
                                       {},
                                       {}};
    std::vector<std::string> positional;
    int status = kExitOk;
    if (!TakeOptions(context, args, true, settings, positional, status)) return status;
    if (positional.size() < 2)
        return UsageError(context, "usage: put [--part-size SIZE] [--transfers N] FILE... FOLDER_ID");
    const std::string folderId = positional.back();
    if (!IsFolderId(context, folderId)) return UsageError(context, "not a folder id: '" + OutputField(folderId) + "'");
    // Local problems are told before anything is sent.
    std::vector<std::filesystem::path> files;
    for (std::size_t i = 0; i + 1 < positional.size(); ++i) {
        std::filesystem::path file = PathArgument(positional[i]);
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error))
            return Fail(context, "not a readable file: '" + Shown(file) + "'");
        auto name = file.filename().u8string();
        if (!session::IsCleanText(std::string(name.begin(), name.end())))
            return Fail(context,
                        "cannot store '" + Shown(file) + "': its name holds control characters or is not UTF-8");
        files.push_back(file);
    }

    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    catalog::Outcome outcome;
    if (!FolderExists(*store, folderId, outcome)) {
        if (!outcome.Ok()) return OutcomeFailed(context, outcome, "list the folders");
        return Fail(context, "no folder with id " + folderId);
    }
    Progress progress;
    settings.progress = progress.Callback();
    std::unique_ptr<catalog::UploadRecordFile> record;
    if (std::filesystem::path kept = UploadRecordPath(context); !kept.empty()) {
        record = std::make_unique<catalog::UploadRecordFile>(kept);
        settings.record = record.get();
    }
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
    if (!CheckKeys(context, positional.begin(), positional.end() - 1)) return kExitUsage;
    const std::filesystem::path out = PathArgument(positional.back());
    if (out.empty()) return UsageError(context, "the output path is empty");
    std::error_code error;
    const bool intoDirectory = std::filesystem::is_directory(out, error);
    if (positional.size() > 2 && !intoDirectory) return Fail(context, "not a directory: '" + Shown(out) + "'");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);

    std::vector<catalog::GetRequest> requests;
    for (std::size_t i = 0; i + 1 < positional.size(); ++i) {
        if (!intoDirectory) {
            requests.push_back({positional[i], out});
            continue;
        }
        // Into a directory: each file under its own name.
        catalog::FileEntry entry;
        catalog::MailText keyMail;
        catalog::Outcome outcome = catalog::LocateFile(*store, positional[i], entry, keyMail);
        if (!outcome.Ok()) return OutcomeFailed(context, outcome, "find file " + positional[i]);
        std::string local;
        outcome = catalog::LocalNameFor(entry.name, local);
        if (!outcome.Ok())
            return Fail(context, "file " + positional[i] + " cannot be written into a directory under its name: " +
                                     outcome.detail + "; fetch it one at a time with an output path");
        requests.push_back({positional[i], out / PathArgument(local)});
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

CommandRegistration put({"put", "[--part-size SIZE] [--transfers N] FILE... FOLDER_ID",
                         "store files and print their keys", 2, -1, false, RunPut});
CommandRegistration get({"get", "[--transfers N] KEY OUT_PATH | KEY... DIR",
                         "fetch files, checked, into OUT_PATH or DIR", 2, -1, false, RunGet});

}  // namespace
}  // namespace cli
