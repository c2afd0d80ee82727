// folders, mkdir, rename, rmdir: the account's folders as directories.
#include <functional>
#include <ostream>

#include "catalog/catalog.h"
#include "cli/command.h"
#include "cli/mailbox.h"
#include "cli/operation_arguments.h"
#include "cli/remote_paths.h"
#include "cli/vault_commands.h"

namespace cli {
namespace {

// A folder command on the account's store, webmail and IMAP alike.
int StoreFolderOperation(Context& context, const std::string& what,
                         const std::function<catalog::Outcome(catalog::MailStore&)>& operation) {
    auto store = OpenStore(context);
    catalog::Outcome outcome = operation(*store);
    return outcome.Ok() ? kExitOk : OutcomeFailed(context, outcome, what);
}

int RunFolders(Context& context, const std::vector<std::string>&) {
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    return StoreFolderOperation(context, "list the folders", [&](catalog::MailStore& store) {
        std::vector<catalog::FolderInfo> folders;
        catalog::Outcome outcome = store.ListFolders(folders);
        for (const catalog::FolderInfo& folder : folders)
            context.out << OutputField(folder.id) << '\t' << OutputField(folder.name) << '\t' << folder.unread << '\t'
                        << folder.messages << '\n';
        return outcome;
    });
}

// mkdir PATH makes the last level in a folder that exists; mkdir -p makes
// every missing level. A single name at the top goes to the provider as it
// always did.
int RunMkdir(Context& context, const std::vector<std::string>& argsIn) {
    const bool parents = argsIn[0] == "-p";
    if (argsIn.size() != 1u + parents) return UsageError(context, "usage: mkdir [-p] PATH");
    const std::string& path = argsIn.back();
    std::vector<std::string> levels;
    if (!catalog::SplitFolderPath(path, levels) || levels.empty())
        return UsageError(context, levels.empty() ? FolderNameProblem("") : "'..' does not name a folder");
    for (const std::string& level : levels)
        if (std::string problem = FolderNameProblem(catalog::SegmentToName(level)); !problem.empty())
            return UsageError(context, problem);
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    std::string id;
    const std::string& name = levels[0];
    if (levels.size() == 1 && !parents && path.find('/') == std::string::npos) {
        return StoreFolderOperation(context, "create folder '" + name + "'", [&](catalog::MailStore& store) {
            catalog::Outcome outcome = store.CreateFolder({}, catalog::SegmentToName(name), id);
            if (outcome.Ok()) context.out << OutputField(id) << '\n';
            return outcome;
        });
    }
    return StoreFolderOperation(context, "create folder '" + path + "'", [&](catalog::MailStore& store) {
        RemotePaths paths(context, store);
        catalog::Outcome outcome = paths.Loaded();
        std::string parentId, existing;
        const std::string parent = path.substr(0, path.rfind('/') == std::string::npos ? 0 : path.rfind('/'));
        if (outcome.Ok() && !parents && paths.Tree().Find(path, existing).Ok())
            return catalog::Failure(catalog::StoreCode::Refused, "it exists already");
        if (outcome.Ok() && !parents && !paths.Tree().Find(parent, parentId).Ok())
            return catalog::Failure(catalog::StoreCode::NotFound, "no folder '" + parent + "' (mkdir -p makes it)");
        // Nothing is made in a vault: a folder's name would show there.
        std::string prefix;
        for (std::size_t i = 0; outcome.Ok() && i + 1 < levels.size(); ++i) {
            prefix += "/" + levels[i];
            std::string levelId;
            bool vault = false;
            if (!paths.Tree().Find(prefix, levelId).Ok()) break;
            outcome = IsVaultFolder(store, levelId, vault);
            if (outcome.Ok() && vault)
                return catalog::Failure(catalog::StoreCode::Refused,
                                        "'" + prefix + "' is a vault: a folder in it would show its name");
        }
        if (outcome.Ok()) outcome = catalog::MakeFolderPath(store, paths.Tree(), path, id);
        if (outcome.Ok()) context.out << OutputField(id) << '\n';
        return outcome;
    });
}

// rename FOLDER NEW_NAME: the folder keeps its place; "／" in the new
// name stands for the name's own "/", as in every path.
int RunRename(Context& context, const std::vector<std::string>& args) {
    const std::string& where = args[0];
    const std::string name = catalog::SegmentToName(args[1]);
    if (args[1].find('/') != std::string::npos)
        return UsageError(context, "a new name is one level: a name's own '/' is written '／'");
    if (std::string problem = FolderNameProblem(name); !problem.empty()) return UsageError(context, problem);
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    return StoreFolderOperation(context, "rename folder '" + OutputField(where) + "' to '" + OutputField(args[1]) + "'",
                                [&](catalog::MailStore& store) {
                                    RemotePaths paths(context, store);
                                    std::string id;
                                    catalog::Outcome outcome = paths.ResolveFolder(where, id);
                                    if (outcome.Ok() && id.empty())
                                        outcome = catalog::Failure(catalog::StoreCode::Refused, "the top has no name");
                                    return outcome.Ok() ? store.RenameFolder(id, name) : outcome;
                                });
}

// Names what keeps a folder from being deleted; empty when nothing does.
std::string Contents(catalog::MailStore& store, RemotePaths& paths, const std::string& folderId,
                     catalog::Outcome& outcome) {
    std::vector<std::string> names;
    for (const catalog::FolderInfo& child : paths.Tree().Children(folderId))
        names.push_back(catalog::NameToSegment(child.name) + "/");
    std::vector<catalog::FileEntry> files;
    outcome = catalog::ListFiles(store, folderId, files);
    for (const catalog::FileEntry& file : files) names.push_back(file.name);
    std::string shown;
    for (std::size_t i = 0; i < names.size() && i < 5; ++i) shown += (i ? ", " : "") + OutputField(names[i]);
    if (names.size() > 5) shown += " and " + std::to_string(names.size() - 5) + " more";
    return shown;
}

int RunRmdir(Context& context, const std::vector<std::string>& args) {
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    auto store = OpenStore(context);
    RemotePaths paths(context, *store);
    RemotePath path;
    catalog::Outcome outcome = paths.Resolve(args[0], path);
    if (outcome.Ok()) outcome = paths.Loaded();
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "look up '" + OutputField(args[0]) + "'");
    if (path.kind != RemotePath::Kind::Folder || path.folderId.empty())
        return Fail(context, "no such folder: '" + OutputField(args[0]) + "'");
    const std::string held = Contents(*store, paths, path.folderId, outcome);
    if (!outcome.Ok()) return OutcomeFailed(context, outcome, "list folder '" + OutputField(args[0]) + "'");
    if (!held.empty()) return Fail(context, "folder '" + OutputField(args[0]) + "' is not empty: it holds " + held);
    outcome = store->DeleteFolder(path.folderId);
    return outcome.Ok() ? kExitOk : OutcomeFailed(context, outcome, "delete folder '" + OutputField(args[0]) + "'");
}

CommandRegistration folders({"folders", "", "list the folders: ID, NAME, UNREAD, TOTAL", 0, 0, false, RunFolders});
CommandRegistration mkdir({"mkdir", "[-p] PATH", "create a folder (-p: and every missing level) and print its id", 1, 2,
                           false, RunMkdir});
CommandRegistration rename({"rename", "FOLDER NEW_NAME", "rename a folder", 2, 2, false, RunRename});
CommandRegistration rmdir({"rmdir", "PATH", "delete an empty folder", 1, 1, false, RunRmdir});

}  // namespace
}  // namespace cli
