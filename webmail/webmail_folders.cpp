// The webmail store's folders: the tree as the provider lists it, and the
// changes to it with the provider's refusals named.
#include "session/cells.h"
#include "session/folders.h"
#include "webmail/webmail_store.h"

namespace webmail {

using namespace catalog;

namespace {

std::uint64_t CountOf(const char* cell) {
    std::uint64_t value = 0;
    return session::ReadCount(cell, value) ? value : 0;
}

}  // namespace

Outcome WebmailStore::ListFolders(std::vector<FolderInfo>& folders) {
    folders.clear();
    std::vector<session::FolderRow> rows;
    Outcome outcome = Call("list the folders", [&] { return session::GetAllFolders(session_, rows); });
    if (!outcome.Ok()) return outcome;
    for (const session::FolderRow& row : rows) {
        FolderInfo folder;
        folder.id = std::string(session::CellText(row.id));
        folder.name = std::string(session::CellText(row.name));
        if (folder.id.empty() || folder.name.empty()) continue;
        const std::string parent(session::CellText(row.parent));
        if (parent != "0") folder.parentId = parent;
        folder.messages = CountOf(row.messageCount);
        folder.unread = CountOf(row.unreadMessageCount);
        folder.bytes = CountOf(row.messageSize);
        // The service numbers its own folders (inbox, drafts, sent, trash,
        // spam...) below 100, the user's far above.
        std::uint64_t id = 0;
        folder.system = session::ReadCount(folder.id, id) && id < 100;
        folders.push_back(std::move(folder));
    }
    return Success();
}

namespace {

// The provider's refusals of folder changes, said in words that name the
// rule or the limit; the code stays in `refusal` for callers that branch on
// it (the mount answers the limits with ENOSPC).
Outcome FolderOutcome(Outcome outcome) {
    if (outcome.refusal == "FA_FOLDER_NOT_EMPTY")
        outcome.detail += ": folders are still nested in it (remove them first)";
    else if (outcome.refusal == "FA_FOLDER_TOO_DEEP")
        outcome.detail += ": the provider nests folders no deeper than this";
    else if (outcome.refusal == "FA_OVERFLOW")
        outcome.detail += ": the provider holds no more folders in this account";
    else if (outcome.refusal == "FA_NAME_EXISTS")
        outcome.detail += ": a folder of that name is already there";
    else
        return outcome;
    outcome.code = StoreCode::Refused;  // not a mail that is too large
    return outcome;
}

}  // namespace

Outcome WebmailStore::CreateFolder(const std::string& parentId, const std::string& name, std::string& newId) {
    const std::string what = "create folder '" + name + "'" + (parentId.empty() ? "" : " in folder " + parentId);
    return FolderOutcome(Call(what, [&] { return session::CreateUserFolder(session_, name, newId, parentId); }));
}

Outcome WebmailStore::RenameFolder(const std::string& folderId, const std::string& name) {
    return FolderOutcome(
        Call("rename folder " + folderId, [&] { return session::RenameFolder(session_, name, folderId); }));
}

Outcome WebmailStore::MoveFolder(const std::string& folderId, const std::string& parentId) {
    if (folderId == parentId) return Failure(StoreCode::Refused, "folder " + folderId + " cannot go into itself");
    const std::string what = "move folder " + folderId + " into " + (parentId.empty() ? "the top" : parentId);
    Outcome outcome = FolderOutcome(Call(what, [&] { return session::MoveFolder(session_, folderId, parentId); }));
    if (outcome.refusal == "FA_INVALID_PARAMETER") outcome.detail += ": a folder cannot go below itself";
    return outcome;
}

Outcome WebmailStore::DeleteFolder(const std::string& folderId) {
    return FolderOutcome(Call("delete folder " + folderId, [&] { return session::DeleteFolder(session_, folderId); }));
}

}  // namespace webmail
