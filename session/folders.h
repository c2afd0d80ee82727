// Folder operations: the account's mail folders are the drive's directories.
#pragma once

#include <string>

#include "session/session.h"
#include "session/status.h"

namespace session {

// Fills session.folderTable from row 0 (the caller clears it first).
Status GetAllFolders(Session& session);

// Creates a folder named nameUtf8. On Status::Ok, newId holds the new
// folder's id as decimal text; Status::Refused when the answer held no id.
// A failed connection shows the "Error" alert and returns ConnectFailed.
Status CreateUserFolder(Session& session, const std::string& nameUtf8, std::string& newId);

Status RenameFolder(Session& session, const std::string& newNameUtf8, const std::string& folderId);

Status DeleteFolder(Session& session, const std::string& folderId);

}  // namespace session
