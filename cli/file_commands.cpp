// ls, find, stat, mv, rm: a folder's files (each file all of its parts),
// and the raw per-mail view of a folder.
#include <ctime>
#include <ostream>

#include "catalog/catalog.h"
#include "catalog/format_values.h"
#include "catalog/tree_transfer.h"
#include "cli/command.h"
#include "cli/mailbox.h"
#include "cli/operation_arguments.h"
#include "cli/remote_paths.h"
#include "cli/vault_commands.h"

namespace cli {
namespace {

// "year,month,day,hour,minute,second" in local time, as the listing of
// messages has always shown it; empty when unknown.
std::string LocalDate(std::int64_t seconds) {
    if (seconds <= 0) return {};
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &time) != 0) return {};
#else
    if (!localtime_r(&time, &local)) return {};
#endif
    return std::to_string(local.tm_year + 1900) + "," + std::to_string(local.tm_mon + 1) + "," +
           std::to_string(local.tm_mday) + "," + std::to_string(local.tm_hour) + "," + std::to_string(local.tm_min) +
           "," + std::to_string(local.tm_sec);
}

int ListMessages(Context& context, catalog::MailStore& store, const std::string& where) {
    RemotePaths paths(context, store);
    std::string folderId;
    std::vector<catalog::MailInfo> mails;
    catalog::Outcome outcome = paths.ResolveFolder(where, folderId);
    if (outcome.Ok()) outcome = store.ListMails(folderId, mails);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "list folder '" + OutputField(where) + "'");
    for (const catalog::MailInfo& mail : mails)
        context.out << OutputField(mail.id) << '\t' << mail.size << '\t' << (mail.attached ? "true" : "false") << '\t'
                    << LocalDate(mail.receivedAt) << '\t' << OutputField(mail.subject) << '\n';
    return kExitOk;
}

// Subdirectories first, as rows whose NAME ends with "/" and whose KEY is
// the folder's id, then the files.
int ListFolder(Context& context, catalog::MailStore& store, RemotePaths& paths, const std::string& folderId) {
    std::vector<catalog::FileEntry> files;
    catalog::Outcome outcome = folderId.empty() ? catalog::Outcome{} : catalog::ListFiles(store, folderId, files);
    if (outcome.Ok() && HoldsVaultFile(files)) return ListVault(context, store, folderId);
    if (outcome.Ok()) outcome = FillSizes(context, store, files);
    if (outcome.Ok()) outcome = paths.Loaded();
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "list folder " + folderId);
    for (const catalog::FolderInfo& folder : paths.Tree().Children(folderId))
        context.out << OutputField(catalog::NameToSegment(folder.name)) << "/\t-\t-\t-\t" << OutputField(folder.id)
                    << '\n';
    for (const catalog::FileEntry& file : files) context.out << FileLine(file) << '\n';
    return kExitOk;
}

int RunLs(Context& context, const std::vector<std::string>& args) {
    const bool messages = !args.empty() && args[0] == "--messages";
    if ((messages && args.size() != 2) || (!messages && args.size() > 1))
        return UsageError(context, "usage: ls [--messages] [PATH]");
    const std::string where = args.empty() ? "/" : args.back();
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    if (messages) return ListMessages(context, *store, where);
    RemotePaths paths(context, *store);
    RemotePath path;
    catalog::Outcome outcome = paths.Resolve(where, path);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "look up '" + OutputField(where) + "'");
    if (path.kind == RemotePath::Kind::Folder) return ListFolder(context, *store, paths, path.folderId);
    if (path.kind == RemotePath::Kind::Missing)
        return Fail(context, "no such folder or file: '" + OutputField(where) + "'");
    std::vector<catalog::FileEntry> file(1);
    catalog::MailText keyMail;
    outcome = catalog::LocateFile(*store, path.key, file[0], keyMail);
    if (outcome.Ok()) outcome = FillSizes(context, *store, file);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "look up file '" + OutputField(where) + "'");
    context.out << FileLine(file[0]) << '\n';
    return kExitOk;
}

int RunFind(Context& context, const std::vector<std::string>& args) {
    const std::string& text = args[0];
    if (text.empty()) return UsageError(context, "the text to find is empty");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    std::string folderId;
    std::vector<catalog::FileEntry> files;
    catalog::Outcome outcome;
    if (args.size() > 1) {
        RemotePaths paths(context, *store);
        bool vault = false;
        outcome = paths.ResolveFolder(args[1], folderId);
        if (outcome.Ok()) outcome = IsVaultFolder(*store, folderId, vault);
        if (!outcome.Ok()) return OutcomeFailed(context, outcome, "look up '" + OutputField(args[1]) + "'");
        if (vault) return FindInVault(context, *store, folderId, text);
    }
    outcome = catalog::FindFiles(*store, text, folderId, files);
    if (outcome.Ok()) outcome = FillSizes(context, *store, files);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "search for '" + OutputField(text) + "'");
    for (const catalog::FileEntry& file : files) context.out << FileLine(file) << '\t' << file.folderId << '\n';
    return kExitOk;
}

int StatFolder(Context& context, RemotePaths& paths, const std::string& folderId) {
    if (catalog::Outcome loaded = paths.Loaded(); !loaded.Ok())
        return OutcomeFailed(context, loaded, "list the folders");
    const catalog::FolderInfo* folder = paths.Tree().Folder(folderId);
    if (!folder && !folderId.empty()) return Fail(context, "no folder with id " + folderId);
    context.out << "name: " << OutputField(folder ? catalog::NameToSegment(folder->name) : "")
                << "/\nfolder: " << OutputField(folderId) << "\npath: /" << OutputField(paths.Tree().PathOf(folderId))
                << "\nfolders: " << paths.Tree().Children(folderId).size() << '\n';
    if (folder) context.out << "files: " << folder->messages << " mails\n";
    return kExitOk;
}

int RunStat(Context& context, const std::vector<std::string>& args) {
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    RemotePaths paths(context, *store);
    RemotePath path;
    catalog::Outcome found = paths.Resolve(args[0], path);
    bool vault = false;
    if (found.Ok() && path.kind == RemotePath::Kind::Missing && path.parentFound &&
        (found = IsVaultFolder(*store, path.folderId, vault)).Ok() && vault)
        return StatInVault(context, *store, path.folderId, path.name);
    if (!found.Ok()) return OutcomeFailed(context, found, "look up '" + OutputField(args[0]) + "'");
    if (path.kind == RemotePath::Kind::Missing)
        return Fail(context, "no such folder or file: '" + OutputField(args[0]) + "'");
    if (path.kind == RemotePath::Kind::Folder) return StatFolder(context, paths, path.folderId);
    const std::string& key = path.key;
    catalog::FileDetails details;
    catalog::Outcome outcome = catalog::StatFile(*store, key, details);
    if (!outcome.Ok() && details.damaged.empty()) return OutcomeFailed(context, outcome, "look up file " + key);
    const catalog::FileEntry& entry = details.entry;
    std::ostream& out = context.out;
    out << "name: " << OutputField(entry.name) << "\nkey: " << OutputField(entry.key) << '\n';
    if (!entry.folderId.empty()) out << "folder: " << entry.folderId << '\n';
    out << "size: " << (details.damaged.empty() ? std::to_string(details.size) : "-")
        << "\nsha256: " << (details.sha256.empty() ? "-" : details.sha256)
        << "\nstored: " << (details.stored > 0 ? catalog::FormatUtc(details.stored) : "-") << "\nparts: " << entry.parts
        << '\n';
    for (const catalog::FilePart& part : entry.present)
        out << "part " << part.number << ": " << OutputField(part.mailId) << '\n';
    if (!entry.Whole()) out << "incomplete: " << entry.Problems() << '\n';
    if (!details.damaged.empty())
        out << "damaged: the manifest does not read: " << OutputField(details.damaged) << '\n';
    return kExitOk;
}

// A folder moves by one folder operation (a move, a rename or both), never
// by sending its files again.
catalog::Outcome MoveFolderTo(catalog::MailStore& store, RemotePaths& paths, const std::string& folderId,
                              const std::string& parentId, const std::string& name) {
    const catalog::FolderInfo* folder = paths.Tree().Folder(folderId);
    if (!folder) return catalog::Failure(catalog::StoreCode::NotFound, "no folder with id " + folderId);
    catalog::Outcome outcome;
    if (folder->parentId != parentId) outcome = store.MoveFolder(folderId, parentId);
    if (outcome.Ok() && !name.empty() && name != folder->name) outcome = store.RenameFolder(folderId, name);
    return outcome;
}

// Whether the folder of a path (or the folder it names) is a vault; a
// file given by its key is located first.
catalog::Outcome InVault(catalog::MailStore& store, const RemotePath& path, bool& vault) {
    vault = false;
    std::string folderId = path.folderId;
    if (path.kind == RemotePath::Kind::File && folderId.empty()) {
        catalog::FileEntry entry;
        catalog::MailText keyMail;
        // A key that names nothing is the move's own failure to tell.
        catalog::Outcome located = catalog::LocateFile(store, path.key, entry, keyMail);
        if (!located.Ok()) return located.code == catalog::StoreCode::NotFound ? catalog::Success() : located;
        folderId = entry.folderId;
    }
    if (folderId.empty() || (path.kind == RemotePath::Kind::Missing && !path.parentFound)) return catalog::Success();
    return IsVaultFolder(store, folderId, vault);
}

// Nothing moves into, out of or within a vault (kVaultMoveRefused); a
// vault folder itself moves as any folder.
int RefuseVaultMoves(Context& context, catalog::MailStore& store, RemotePaths& paths,
                     const std::vector<std::string>& args) {
    RemotePath last;
    catalog::Outcome outcome = paths.Resolve(args.back(), last, false);
    // "mv FOLDER_ID KEY...": the target comes first.
    const std::size_t target =
        outcome.Ok() && last.kind != RemotePath::Kind::Folder && IsFolderId(context, args[0]) ? 0 : args.size() - 1;
    for (std::size_t i = 0; i < args.size() && outcome.Ok(); ++i) {
        RemotePath path;
        bool vault = false;
        outcome = paths.Resolve(args[i], path, i != target);
        if (!outcome.Ok() || (path.kind == RemotePath::Kind::Folder && i != target)) continue;
        if ((outcome = InVault(store, path, vault)).Ok() && vault)
            return Fail(context, "'" + OutputField(args[i]) + "': " + kVaultMoveRefused);
    }
    return outcome.Ok() ? kExitOk : OutcomeFailed(context, outcome, "look up what to move");
}

int RunMv(Context& context, const std::vector<std::string>& args) {
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    RemotePaths paths(context, *store);
    if (int refused = RefuseVaultMoves(context, *store, paths, args); refused != kExitOk) return refused;
    RemotePath target;
    catalog::Outcome outcome = paths.Resolve(args.back(), target, false);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "look up '" + OutputField(args.back()) + "'");
    std::vector<std::string> sources(args.begin(), args.end() - 1);
    std::string targetId = target.folderId;
    // Files given by key after a folder id: "mv FOLDER_ID KEY..." as before.
    if (target.kind != RemotePath::Kind::Folder && IsFolderId(context, args[0])) {
        sources.assign(args.begin() + 1, args.end());
        targetId = args[0];
    } else if (target.kind != RemotePath::Kind::Folder) {
        // A rename: one folder to a new name, in the folder the path names.
        if (sources.size() != 1 || !target.parentFound || target.kind == RemotePath::Kind::File)
            return Fail(context, "not a folder: '" + OutputField(args.back()) + "'");
        RemotePath source;
        outcome = paths.Resolve(sources[0], source);
        if (outcome.Ok() && source.kind != RemotePath::Kind::Folder)
            return Fail(context, "a file keeps its stored name: move it into a folder instead");
        if (outcome.Ok())
            outcome =
                MoveFolderTo(*store, paths, source.folderId, target.folderId, catalog::SegmentToName(target.name));
        return outcome.Ok() ? kExitOk : OutcomeFailed(context, outcome, "move '" + OutputField(sources[0]) + "'");
    }
    for (const std::string& argument : sources) {
        RemotePath source;
        outcome = paths.Resolve(argument, source);
        if (outcome.Ok() && source.kind == RemotePath::Kind::Missing)
            outcome = catalog::Failure(catalog::StoreCode::NotFound, "no such folder or file");
        if (outcome.Ok())
            outcome = source.kind == RemotePath::Kind::Folder
                          ? MoveFolderTo(*store, paths, source.folderId, targetId, {})
                          : catalog::MoveFile(*store, source.key, targetId);
        if (!outcome.Ok())
            return OutcomeFailed(context, outcome, "move '" + OutputField(argument) + "' to folder " + targetId);
    }
    return kExitOk;
}

// rm -r: the folder as it stands now, with everything below it.
catalog::Outcome RemoveTree(catalog::MailStore& store, RemotePaths& paths, const std::string& folderId) {
    catalog::RemoteTree tree;
    catalog::Outcome outcome = catalog::WalkRemoteTree(store, paths.Tree(), folderId, tree);
    return outcome.Ok() ? catalog::RemoveTree(store, tree, folderId) : outcome;
}

int RunRm(Context& context, const std::vector<std::string>& argsIn) {
    const bool recursive = argsIn[0] == "-r";
    const std::vector<std::string> args(argsIn.begin() + recursive, argsIn.end());
    if (args.empty()) return UsageError(context, "usage: rm [-r] PATH...");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    RemotePaths paths(context, *store);
    for (const std::string& argument : args) {
        RemotePath path;
        catalog::Outcome outcome = paths.Resolve(argument, path);
        bool vault = false;
        if (outcome.Ok() && path.kind == RemotePath::Kind::Missing && path.parentFound &&
            (outcome = IsVaultFolder(*store, path.folderId, vault)).Ok() && vault) {
            if (int removed = RemoveFromVault(context, *store, path.folderId, path.name)) return removed;
            continue;
        }
        if (outcome.Ok() && path.kind == RemotePath::Kind::Missing)
            outcome = catalog::Failure(catalog::StoreCode::NotFound, "no such folder or file");
        if (outcome.Ok() && path.kind == RemotePath::Kind::Folder) {
            if (!recursive) return Fail(context, "'" + OutputField(argument) + "' is a folder: rm -r removes it");
            const catalog::FolderInfo* folder = paths.Tree().Folder(path.folderId);
            if (!folder || folder->system)
                return Fail(context, "'" + OutputField(argument) + "' is not a folder of yours to remove");
            outcome = RemoveTree(*store, paths, path.folderId);
        } else if (outcome.Ok()) {
            outcome = catalog::RemoveFile(*store, path.key);
        }
        if (!outcome.Ok()) return OutcomeFailed(context, outcome, "remove '" + OutputField(argument) + "'");
    }
    return kExitOk;
}

CommandRegistration ls({"ls", "[--messages] [PATH]", "list a folder: its folders (NAME ends with /), then its files", 0,
                        2, false, RunLs});
CommandRegistration find({"find", "TEXT [FOLDER]", "list the files whose name holds TEXT", 1, 2, false, RunFind});
CommandRegistration stat({"stat", "PATH", "show a file's size, SHA-256, time stored and parts", 1, 1, false, RunStat});
CommandRegistration mv({"mv", "PATH... TARGET", "move into the folder TARGET, or rename a folder to TARGET", 2, -1,
                        false, RunMv});
CommandRegistration rm({"rm", "[-r] PATH...", "move files to the trash; -r: a folder and all below it", 1, -1, false,
                        RunRm});

}  // namespace
}  // namespace cli
