// sync, check: a local directory and a folder of the mailbox kept alike.
// The planning is catalog/sync_plan; here the sides are walked, the steps
// carried out through the one engine, and the record kept beside the
// account's other caches, one per pair of directories.
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <system_error>

#include "catalog/catalog.h"
#include "catalog/drive_names.h"
#include "catalog/local_name.h"
#include "catalog/manifest.h"
#include "catalog/sha256.h"
#include "catalog/sync_plan.h"
#include "catalog/upload_record.h"
#include "cli/command.h"
#include "cli/mailbox.h"
#include "cli/operation_arguments.h"
#include "cli/remote_paths.h"
#include "cli/vault_commands.h"
#include "cli/vault_sync.h"
#include "vault/sealed_files.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

struct SyncOptions {
    bool remove = false, dryRun = false, download = false;
    std::string localArg, remoteArg;
};

catalog::Outcome HashFile(const catalog::LocalFile& file, std::string& sha256) {
    std::ifstream in(file.source, std::ios::binary);
    if (!in) return catalog::Failure(catalog::StoreCode::LocalFile, file.path + " could not be opened");
    catalog::Sha256 digest;
    std::vector<char> buffer(1 << 20);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
        digest.Update(buffer.data(), static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return catalog::Failure(catalog::StoreCode::LocalFile, file.path + " could not be read");
    sha256 = digest.FinishHex();
    return {};
}

std::function<catalog::Outcome(const catalog::RemoteFile&, std::string&)> ManifestSha(catalog::MailStore& store) {
    return [&store](const catalog::RemoteFile& file, std::string& sha256) {
        catalog::MailText mail;
        catalog::Manifest manifest;
        std::string problem;
        sha256.clear();
        catalog::Outcome outcome = store.ReadMailText(file.entry.key, mail);
        if (outcome.Ok() && catalog::ReadManifest(mail.text, manifest, problem) == catalog::ManifestRead::Ok)
            sha256 = manifest.sha256;
        return outcome;
    };
}

using HashLocal = std::function<catalog::Outcome(const catalog::LocalFile&, std::string&)>;
// What is missing or differs, written below the root, one report a file.
using FetchInto = std::function<void(const std::vector<catalog::RemoteFile>&, std::vector<catalog::TreeGetReport>&,
                                     std::vector<std::string>& skipped)>;

// One record per pair of directories and way: its name comes from all three
// (a vault's record keeps sealed digests, never to be taken for plain ones).
enum class Way : char { Up = 'u', Down = 'd', DownFromVault = 'v' };
fs::path RecordPath(Context& context, const fs::path& local, const std::string& folderId, Way way) {
    fs::path path = ManifestCachePath(context.account);
    if (path.empty()) return path;
    std::error_code error;
    const auto absolute = fs::absolute(local, error).lexically_normal().u8string();
    catalog::Sha256 digest;
    const std::string pair =
        std::string(absolute.begin(), absolute.end()) + '\n' + folderId + '\n' + static_cast<char>(way);
    digest.Update(pair.data(), pair.size());
    return path.replace_extension(".sync-" + digest.FinishHex().substr(0, 16));
}

const char* ActionText(catalog::SyncAction action) {
    switch (action) {
    case catalog::SyncAction::Send: return "send";
    case catalog::SyncAction::Trash: return "trash";
    case catalog::SyncAction::Fetch: return "fetch";
    case catalog::SyncAction::DeleteLocal: return "delete";
    case catalog::SyncAction::KeepLocal: return "keep";
    }
    return "";
}

// What a put takes: the sizes given, and the record of uploads that lets
// an interrupted one resume.
catalog::TransferSettings Settings(Context& context, std::unique_ptr<catalog::UploadRecordFile>& uploads) {
    catalog::TransferSettings settings{context.transfers ? context.transfers : 4,
                                       context.partSize ? context.partSize : catalog::kDefaultPartSize,
                                       {},
                                       {}};
    if (fs::path kept = ManifestCachePath(context.account); !kept.empty()) {
        uploads = std::make_unique<catalog::UploadRecordFile>(kept.replace_extension(".uploads"));
        settings.record = uploads.get();
    }
    return settings;
}

// Both sides, each sized: a folder that does not exist yet is an empty side.
struct Walked {
    catalog::LocalTree local;
    catalog::RemoteTree remote;
    std::string folderId;
};

int WalkBoth(Context& context, catalog::MailStore& store, RemotePaths& paths, const SyncOptions& options,
             bool makeRemote, Walked& walked) {
    const fs::path local = PathArgument(options.localArg);
    std::error_code error;
    if (options.download && !options.dryRun) fs::create_directories(local, error);
    if (fs::is_directory(local, error)) {
        catalog::Outcome outcome = catalog::WalkLocalTree(local, walked.local);
        if (!outcome.Ok()) return OutcomeFailed(context, outcome, "read '" + Shown(local) + "'");
    } else if (!options.download) {
        return Fail(context, "not a directory: '" + Shown(local) + "'");
    }
    RemotePath remote;
    catalog::Outcome outcome = paths.Resolve(options.remoteArg, remote, false);
    if (outcome.Ok() && remote.kind == RemotePath::Kind::File)
        return Fail(context, "not a folder: '" + OutputField(options.remoteArg) + "'");
    if (outcome.Ok() && remote.kind == RemotePath::Kind::Folder && remote.folderId.empty())
        return Fail(context, kTopHoldsFolders);
    if (outcome.Ok() && remote.kind == RemotePath::Kind::Missing) {
        if (!makeRemote) return Fail(context, "no folder '" + OutputField(options.remoteArg) + "'");
        if (options.dryRun) return kExitOk;  // nothing there yet: everything would be sent
        outcome = catalog::MakeFolderPath(store, paths.Tree(), options.remoteArg, remote.folderId);
    }
    walked.folderId = remote.folderId;
    catalog::ManifestCache sizes;
    const fs::path cache = ManifestCachePath(context.account);
    if (!cache.empty()) sizes.Load(cache);
    if (outcome.Ok()) outcome = catalog::WalkRemoteTree(store, paths.Tree(), remote.folderId, walked.remote, &sizes);
    if (!cache.empty()) sizes.Save(cache);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "list '" + OutputField(options.remoteArg) + "'");
    return kExitOk;
}

int RefuseVaultBelow(Context& context, const Walked& walked) {
    const std::vector<std::string> vaults = VaultsBelow(walked.remote.files);
    if (vaults.empty()) return kExitOk;
    return Fail(context, "'" + OutputField(vaults.front()) +
                             "' below is a vault: its files are sealed; sync or check it apart, by its own path");
}

// Sends what changed, then trashes what it replaced and what is gone.
int CarryOutUp(Context& context, catalog::MailStore& store, RemotePaths& paths, const Walked& walked,
               const std::vector<catalog::SyncStep>& steps, catalog::SyncRecord& record) {
    std::unique_ptr<catalog::UploadRecordFile> uploads;
    catalog::TransferSettings settings = Settings(context, uploads);
    std::map<std::string, const catalog::LocalFile*> byPath;
    for (const catalog::LocalFile& file : walked.local.files) byPath[file.path] = &file;
    std::vector<catalog::LocalFile> sending;
    std::map<std::string, std::vector<std::string>> replaced;
    std::uint64_t bytes = 0;
    for (const catalog::SyncStep& step : steps)
        if (step.action == catalog::SyncAction::Send) {
            sending.push_back(*byPath[step.path]);
            replaced[step.path] = step.replaced;
            bytes += sending.back().size;
        }
    std::vector<catalog::TreePutReport> reports;
    catalog::Outcome sent =
        catalog::PutTree(store, paths.Tree(), walked.folderId, walked.local.dirs, sending, settings, reports);
    int result = kExitOk;
    std::size_t trashed = 0;
    for (const catalog::TreePutReport& report : reports) {
        if (!report.report.outcome.Ok()) {
            result = Fail(context, "could not store '" + OutputField(report.path) + "': " +
                                       OutputField(report.report.outcome.Text()) + "; run the sync again to finish");
            continue;
        }
        record[report.path].key = report.report.key;
        for (const std::string& key : replaced[report.path])
            if (key != report.report.key && catalog::RemoveFile(store, key).Ok()) ++trashed;
    }
    if (!sent.Ok() && result == kExitOk) result = OutcomeFailed(context, sent, "store the changed files");
    for (const catalog::SyncStep& step : steps) {
        if (step.action != catalog::SyncAction::Trash || result != kExitOk) continue;
        catalog::Outcome outcome = catalog::RemoveFile(store, step.key);
        if (!outcome.Ok())
            result = OutcomeFailed(context, outcome, "move '" + OutputField(step.path) + "' to the trash");
        else
            ++trashed;
    }
    context.out << "sent " << sending.size() << " file(s), " << bytes << " bytes; trashed " << trashed << "; unchanged "
                << walked.local.files.size() - sending.size() << '\n';
    return result;
}

// Fetches what is missing or differs; deletes only what the record says a
// sync left and nobody changed since.
int CarryOutDown(Context& context, const std::vector<catalog::RemoteFile>& remote, const Walked& walked,
                 const std::vector<catalog::SyncStep>& steps, catalog::SyncRecord& record, const FetchInto& fetch,
                 const HashLocal& hash) {
    std::map<std::string, const catalog::RemoteFile*> remoteByPath;
    for (const catalog::RemoteFile& file : remote) remoteByPath[file.path] = &file;
    std::map<std::string, const catalog::LocalFile*> localByPath;
    for (const catalog::LocalFile& file : walked.local.files) localByPath[file.path] = &file;
    std::vector<catalog::RemoteFile> fetching;
    for (const catalog::SyncStep& step : steps)
        if (step.action == catalog::SyncAction::Fetch) fetching.push_back(*remoteByPath[step.path]);
    std::vector<catalog::TreeGetReport> reports;
    std::vector<std::string> skipped;
    fetch(fetching, reports, skipped);
    int result = kExitOk;
    for (const std::string& dir : skipped) result = Fail(context, "skipped folder " + OutputField(dir));
    std::uint64_t bytes = 0;
    std::size_t fetched = 0, deleted = 0;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const catalog::TreeGetReport& report = reports[i];
        if (!report.report.outcome.Ok()) {
            result = Fail(context, "could not fetch '" + catalog::EscapedName(report.path) +
                                       "': " + OutputField(report.report.outcome.Text()));
            continue;
        }
        std::error_code error;
        catalog::LocalFile written{report.path, report.target, fs::file_size(report.target, error), 0};
        written.modifiedNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 fs::last_write_time(report.target, error).time_since_epoch())
                                 .count();
        std::string sha256;
        if (!error && hash(written, sha256).Ok())
            record[report.path] = {written.size, written.modifiedNs, sha256, fetching[i].entry.key};
        ++fetched, bytes += written.size;
    }
    for (const catalog::SyncStep& step : steps) {
        if (step.action == catalog::SyncAction::KeepLocal) {
            context.err << "kept '" << OutputField(step.path)
                        << "': gone from the mailbox, but not as a sync left it (written or changed here)\n";
        } else if (step.action == catalog::SyncAction::DeleteLocal) {
            std::error_code error;
            if (fs::remove(localByPath[step.path]->source, error))
                ++deleted, record.erase(step.path);
            else
                result = Fail(context, "could not delete '" + OutputField(step.path) + "': " + error.message());
        }
    }
    context.out << "fetched " << fetched << " file(s), " << bytes << " bytes; deleted " << deleted << "; unchanged "
                << remote.size() - fetching.size() << '\n';
    return result;
}

// Into a vault: every file goes through the sealed put, which sends
// nothing for a file already stored whole (the same name and bytes seal
// alike); then the older versions of what was sent, and with --delete what
// is gone here, go to the trash. A vault holds no folders.
int SyncIntoVault(Context& context, catalog::MailStore& store, const Walked& walked, const SyncOptions& options) {
    if (!walked.local.dirs.empty())
        return Fail(context, "a vault holds no folders (their names would show): sync a directory of files into it");
    if (options.dryRun) return Fail(context, "--dry-run does not look into a vault: its files are compared sealed");
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    if (int unlocked = UnlockVault(context, store, walked.folderId, key, copies); unlocked != kExitOk) return unlocked;
    std::unique_ptr<catalog::UploadRecordFile> uploads;
    catalog::TransferSettings settings = Settings(context, uploads);
    std::vector<fs::path> sources;
    for (const catalog::LocalFile& file : walked.local.files) sources.push_back(file.source);
    std::vector<catalog::PutReport> reports;
    catalog::Outcome outcome =
        vault::PutSealedFiles(store, key, sources, walked.folderId, VaultStagingRoot(context), settings, reports);
    std::map<std::string, std::string> kept;  // own name -> the key just stored
    std::size_t sent = 0, trashed = 0;
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (!reports[i].outcome.Ok()) continue;
        kept[walked.local.files[i].path] = reports[i].key;
        if (reports[i].alreadyStored < reports[i].parts) ++sent, bytes += walked.local.files[i].size;
    }
    std::vector<vault::SealedEntry> entries;
    if (outcome.Ok()) outcome = vault::ListSealedFiles(store, key, walked.folderId, entries);
    for (const vault::SealedEntry& entry : entries) {
        if (!outcome.Ok() || !entry.nameOutcome.Ok()) continue;  // a name not sealed here is not ours to trash
        const auto now = kept.find(entry.name);
        const bool older = now != kept.end() && now->second != entry.file.key;
        if ((older || (now == kept.end() && options.remove)) && catalog::RemoveFile(store, entry.file.key).Ok())
            ++trashed;
    }
    context.out << "sent " << sent << " file(s), " << bytes << " bytes; trashed " << trashed << "; unchanged "
                << walked.local.files.size() - sent << '\n';
    return outcome.Ok() && kept.size() == sources.size() ? kExitOk
                                                         : OutcomeFailed(context, outcome, "sync into the vault");
}

int RunSync(Context& context, const std::vector<std::string>& args) {
    SyncOptions options;
    std::vector<std::string> positional;
    for (const std::string& arg : args) {
        if (arg == "--delete")
            options.remove = true;
        else if (arg == "--dry-run")
            options.dryRun = true;
        else if (arg == "--download")
            options.download = true;
        else if (arg.rfind("--", 0) == 0)
            return UsageError(context, "unknown option " + arg);
        else
            positional.push_back(arg);
    }
    if (positional.size() != 2 || positional[0].empty() || positional[1].empty())
        return UsageError(context,
                          "usage: sync [--delete] [--dry-run] LOCAL_DIR REMOTE_DIR | --download REMOTE_DIR LOCAL_DIR");
    options.localArg = positional[options.download ? 1 : 0];
    options.remoteArg = positional[options.download ? 0 : 1];
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    RemotePaths paths(context, *store);
    Walked walked;
    if (int walkedBoth = WalkBoth(context, *store, paths, options, !options.download, walked); walkedBoth != kExitOk)
        return walkedBoth;
    // A vault takes its files sealed and gives them opened; one below the
    // top would be synced as it is stored, so it is synced apart.
    if (int refused = RefuseVaultBelow(context, walked); refused != kExitOk) return refused;
    const bool vault = WalkedVault(walked.remote.files);
    if (vault && !options.download) return SyncIntoVault(context, *store, walked, options);
    VaultSide side;  // from a vault, its files opened
    if (vault)
        if (int opened = OpenVaultSide(context, *store, walked.folderId, walked.remote.files, side); opened != kExitOk)
            return opened;
    for (const std::string& skipped : walked.local.skipped) context.err << "skipped " << OutputField(skipped) << '\n';
    const Way way = !options.download ? Way::Up : vault ? Way::DownFromVault : Way::Down;
    const fs::path recordPath = RecordPath(context, PathArgument(options.localArg), walked.folderId, way);
    catalog::SyncRecord record = recordPath.empty() ? catalog::SyncRecord{} : catalog::LoadSyncRecord(recordPath);
    const HashLocal hash = vault ? SealedSha(side) : HashLocal(HashFile);
    const std::vector<catalog::RemoteFile>& remote = vault ? side.files : walked.remote.files;
    catalog::SyncSides sides{walked.local.files, remote, record, hash, ManifestSha(*store)};
    std::vector<catalog::SyncStep> steps;
    catalog::Outcome planned = options.download ? catalog::PlanSyncDown(sides, options.remove, steps)
                                                : catalog::PlanSyncUp(sides, options.remove, steps);
    if (!planned.Ok()) return OutcomeFailed(context, planned, "compare the two sides");
    if (options.dryRun) {
        for (const catalog::SyncStep& step : steps)
            context.out << ActionText(step.action) << '\t' << OutputField(step.path) << '\n';
        return side.unopened == 0 ? kExitOk : kExitFailure;
    }
    int result = kExitOk;
    if (options.download) {
        const fs::path root = PathArgument(options.localArg);
        const catalog::TransferSettings settings{
            context.transfers ? context.transfers : 4, catalog::kDefaultPartSize, {}, {}};
        const FetchInto fetch = [&](const std::vector<catalog::RemoteFile>& files,
                                    std::vector<catalog::TreeGetReport>& reports, std::vector<std::string>& skipped) {
            if (vault) return FetchFromVault(*store, side, files, root, settings, reports);
            catalog::GetTree(*store, walked.remote.dirs, files, root, settings, reports, skipped);
        };
        result = CarryOutDown(context, remote, walked, steps, record, fetch, hash);
    } else {
        result = CarryOutUp(context, *store, paths, walked, steps, record);
    }
    if (!recordPath.empty()) catalog::SaveSyncRecord(recordPath, record);
    return side.unopened == 0 ? result : kExitFailure;
}

int RunCheck(Context& context, const std::vector<std::string>& args) {
    SyncOptions options;
    options.localArg = args[0];
    options.remoteArg = args[1];
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    RemotePaths paths(context, *store);
    Walked walked;
    if (int walkedBoth = WalkBoth(context, *store, paths, options, false, walked); walkedBoth != kExitOk)
        return walkedBoth;
    // A vault is compared by its files' own names and sealed digests.
    if (int refused = RefuseVaultBelow(context, walked); refused != kExitOk) return refused;
    const bool vault = WalkedVault(walked.remote.files);
    VaultSide side;
    if (vault)
        if (int opened = OpenVaultSide(context, *store, walked.folderId, walked.remote.files, side); opened != kExitOk)
            return opened;
    // The record of an earlier sync spares hashing what did not change.
    const fs::path recordPath =
        RecordPath(context, PathArgument(options.localArg), walked.folderId, vault ? Way::DownFromVault : Way::Up);
    catalog::SyncRecord record = recordPath.empty() ? catalog::SyncRecord{} : catalog::LoadSyncRecord(recordPath);
    catalog::SyncSides sides{walked.local.files, vault ? side.files : walked.remote.files, record,
                             vault ? SealedSha(side) : HashLocal(HashFile), ManifestSha(*store)};
    std::vector<std::string> differences;
    catalog::Outcome compared = catalog::CompareTrees(sides, differences);
    if (!compared.Ok()) return OutcomeFailed(context, compared, "compare the two sides");
    for (const std::string& difference : differences) context.out << OutputField(difference) << '\n';
    return differences.empty() && side.unopened == 0 ? kExitOk : kExitFailure;
}

CommandRegistration check({"check", "LOCAL_DIR REMOTE_DIR",
                           "compare by SHA-256; exit status 1 and a line per difference when they differ", 2, 2, false,
                           RunCheck});
CommandRegistration sync({"sync", "[--delete] [--dry-run] [--download] FROM TO",
                          "make TO hold what FROM holds: LOCAL_DIR REMOTE_DIR, or with --download the other way", 2, 5,
                          false, RunSync});

}  // namespace
}  // namespace cli
