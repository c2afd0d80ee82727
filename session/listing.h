// The newest page (at most 50 messages, newest first) of one folder.
#pragma once

#include <string>

#include "session/exchange.h"
#include "session/session.h"
#include "session/status.h"
#include "session/tables.h"

namespace session {

// Fills `table` from row 0 without clearing it first (callers clear it just
// before). Status::Refused when the provider's answer does not accept the
// request (wrong session, unknown folder). On any failure the table is left
// as it was.
Status ListMessages(Session& session, const std::string& folderId, MessageTable& table);

// The request ListMessages sends (overflowed when it would not fit).
Request ListMessagesRequest(const Session& session, const std::string& folderId);

}  // namespace session
