// folders, mkdir, rename, rmdir: the account's folders as directories.
#include <functional>
#include <ostream>

#include "cli/command.h"
#include "cli/mailbox.h"
#include "cli/operation_arguments.h"
#include "session/cells.h"
#include "session/folders.h"

namespace cli {
namespace {

using session::CellText;

// Over IMAP the folders are the store's; the webmail account's come from
// its folder table as they always have.
int StoreFolderOperation(Context& context, const std::string& what,
                         const std::function<catalog::Outcome(catalog::MailStore&)>& operation) {
    auto store = OpenStore(context);
    catalog::Outcome outcome = operation(*store);
    return outcome.Ok() ? kExitOk : OutcomeFailed(context, outcome, what);
}

int RunFolders(Context& context, const std::vector<std::string>&) {
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    if (!context.imapUrl.empty())
        return StoreFolderOperation(context, "list the folders", [&](catalog::MailStore& store) {
            std::vector<catalog::FolderInfo> folders;
            catalog::Outcome outcome = store.ListFolders(folders);
            for (const catalog::FolderInfo& folder : folders)
                context.out << OutputField(folder.id) << '\t' << OutputField(folder.name) << '\t' << folder.unread
                            << '\t' << folder.messages << '\n';
            return outcome;
        });
    session::Session& s = context.session;
    session::Status status = WithSession(context, [&] {
        session::ClearFolderTable(s.folderTable);
        return session::GetAllFolders(s);
    });
    if (status != session::Status::Ok) return OperationFailed(context, status, "list the folders");
    std::size_t rows = session::UsedFolderRows(s.folderTable);
    for (std::size_t i = 0; i < rows; ++i) {
        const session::FolderRow& row = s.folderTable.rows[i];
        context.out << CellText(row.id) << '\t' << OutputField(CellText(row.name)) << '\t'
                    << CellText(row.unreadMessageCount) << '\t' << CellText(row.messageCount) << '\n';
    }
    return kExitOk;
}

int RunMkdir(Context& context, const std::vector<std::string>& args) {
    const std::string& name = args[0];
    std::string problem = FolderNameProblem(name);
    if (!problem.empty()) return UsageError(context, problem);
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    std::string id;
    if (!context.imapUrl.empty())
        return StoreFolderOperation(context, "create folder '" + name + "'", [&](catalog::MailStore& store) {
            catalog::Outcome outcome = store.CreateFolder({}, name, id);
            if (outcome.Ok()) context.out << OutputField(id) << '\n';
            return outcome;
        });
    session::Status status = WithSession(context, [&] { return session::CreateUserFolder(context.session, name, id); });
    if (status != session::Status::Ok) return OperationFailed(context, status, "create folder '" + name + "'");
    context.out << id << '\n';
    return kExitOk;
}

int RunRename(Context& context, const std::vector<std::string>& args) {
    const std::string& id = args[0];
    const std::string& name = args[1];
    if (!IsFolderId(context, id)) return UsageError(context, "not a folder id: '" + OutputField(id) + "'");
    std::string problem = FolderNameProblem(name);
    if (!problem.empty()) return UsageError(context, problem);
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    if (!context.imapUrl.empty())
        return StoreFolderOperation(context, "rename folder '" + id + "' to '" + name + "'",
                                    [&](catalog::MailStore& store) { return store.RenameFolder(id, name); });
    session::Status status = WithSession(context, [&] { return session::RenameFolder(context.session, name, id); });
    if (status != session::Status::Ok)
        return OperationFailed(context, status, "rename folder " + id + " to '" + name + "'");
    return kExitOk;
}

int RunRmdir(Context& context, const std::vector<std::string>& args) {
    const std::string& id = args[0];
    if (!IsFolderId(context, id)) return UsageError(context, "not a folder id: '" + OutputField(id) + "'");
    if (int signedIn = SignInChecked(context); signedIn != kExitOk) return signedIn;
    if (!context.imapUrl.empty())
        return StoreFolderOperation(context, "delete folder '" + id + "'",
                                    [&](catalog::MailStore& store) { return store.DeleteFolder(id); });
    session::Status status = WithSession(context, [&] { return session::DeleteFolder(context.session, id); });
    if (status != session::Status::Ok) return OperationFailed(context, status, "delete folder " + id);
    return kExitOk;
}

CommandRegistration folders({"folders", "", "list the folders: ID, NAME, UNREAD, TOTAL", 0, 0, false, RunFolders});
CommandRegistration mkdir({"mkdir", "NAME", "create a folder and print its id", 1, 1, false, RunMkdir});
CommandRegistration rename({"rename", "FOLDER_ID NEW_NAME", "rename a folder", 2, 2, false, RunRename});
CommandRegistration rmdir({"rmdir", "FOLDER_ID", "delete a folder", 1, 1, false, RunRmdir});

}  // namespace
}  // namespace cli
