// Storing a whole file into a folder the way the program first did: upload
// it, find the delivered mail in the inbox by its subject, and move it into
// the target folder. No front end stores this way any more (they store
// files in parts through the catalog); the tests use it to lay out mails
// of the old form beside the new ones.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "session/session.h"
#include "session/status.h"

namespace session {

enum class StoreStage {
    Uploading,  // the file's bytes are on their way
    Uploaded,   // delivered; looking for the mail in the inbox
    Moving,     // found; moving it into the target folder
    Done,       // moved
};

struct StoreOptions {
    int searchBoundMs = 60000;  // give up looking for the mail after this
    int firstLookDelayMs = 0;   // pause between the delivery and the first look
    int firstPauseMs = 100;     // pause after a look that found nothing; it
    int longestPauseMs = 3000;  // doubles with every look, up to this
};

struct StoreResult {
    Status status = Status::Ok;
    std::vector<std::string> movedIds;  // ids moved into the target folder
};

// The mail is found by its subject, UploadSubject(path), compared byte for
// byte with the subjects of the inbox's newest page. Mails of that subject
// that were there before the upload are moved too, but the search goes on
// until the new one has arrived: NotFound when it has not within the bound;
// a look that fails ends the search with its own status. BadName, with
// nothing sent, for a name UploadFile would refuse.
// onStage runs on the calling thread.
StoreResult StoreFileInFolder(Session& session, const std::filesystem::path& path, const std::string& targetFolderId,
                              const std::function<void(StoreStage)>& onStage = {}, const StoreOptions& options = {});

}  // namespace session
