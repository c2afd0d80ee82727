// The newest page (at most 50 messages, newest first) of one folder.
#pragma once

#include <string>

#include "session/session.h"
#include "session/status.h"
#include "session/tables.h"

namespace session {

// Fills `table` from row 0 without clearing it first (callers clear it just
// before). On failure the table is left as it was.
Status ListMessages(Session& session, const std::string& folderId, MessageTable& table);

}  // namespace session
