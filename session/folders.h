// Folder operations: the account's mail folders are the drive's directories.
#pragma once

#include <string>
#include <vector>

#include "session/exchange.h"
#include "session/session.h"
#include "session/status.h"

namespace session {

// Fills session.folderTable from row 0 (the caller clears it first).
// Status::Refused, with the table untouched, when the provider's answer does
// not accept the request. Shows nothing on failure.
Status GetAllFolders(Session& session);
// Every folder, however many (up to kMaxListedFolders), into `rows`: a tree
// of directories outgrows the table's 100 rows.
constexpr std::size_t kMaxListedFolders = 2000;
Status GetAllFolders(Session& session, std::vector<FolderRow>& rows);

// Creates a folder named nameUtf8. On Status::Ok, newId holds the new
// folder's id as decimal text; Status::Refused, with newId empty, when the
// provider refused or its answer held no id; ConnectFailed when the
// provider could not be reached (the caller tells the user).
// A non-empty parentId nests the new folder in that folder.
Status CreateUserFolder(Session& session, const std::string& nameUtf8, std::string& newId,
                        const std::string& parentId = {});

// Status::Ok when the provider accepted the rename or deletion, Refused when
// it did not; ConnectFailed when the provider could not be reached.
Status RenameFolder(Session& session, const std::string& newNameUtf8, const std::string& folderId);
Status DeleteFolder(Session& session, const std::string& folderId);
// Moves the folder, with everything below it, into parentId ("" or "0": the top).
Status MoveFolder(Session& session, const std::string& folderId, const std::string& parentId);

// Every operation above refuses, unsent, a request that does not fit its
// buffer (Status::RequestTooLarge). The requests they send:
Request GetAllFoldersRequest(const Session& session);
// A top-level folder's request is byte for byte the one without a parent.
Request CreateUserFolderRequest(const Session& session, const std::string& nameUtf8, const std::string& parentId = {});
Request RenameFolderRequest(const Session& session, const std::string& newNameUtf8, const std::string& folderId);
Request DeleteFolderRequest(const Session& session, const std::string& folderId);
Request MoveFolderRequest(const Session& session, const std::string& folderId, const std::string& parentId);

// The new folder's id in an answer to a creation: the first value of its
// 'var' member when that is a decimal number that fits the id text (at most
// 19 digits); empty otherwise.
std::string ReadNewFolderId(std::string_view body);

}  // namespace session
