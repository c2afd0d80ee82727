// Fetching a stored file: the attachment part of one message.
#pragma once

#include <filesystem>
#include <string>

#include "session/session.h"
#include "session/status.h"

namespace session {

// Downloads the attachment of messageId into `path`. The target is replaced
// only when the whole attachment arrived; on any failure it is left as it
// was. downloadIdle/downloadReceived/downloadTotal move while bytes travel
// and are back to 1/0/0 on every return.
Status DownloadAttachment(Session& session, const std::string& messageId, const std::filesystem::path& path);

}  // namespace session
