// Moving and deleting messages, several at once.
#pragma once

#include <deque>
#include <string>

#include "session/session.h"
#include "session/status.h"

namespace session {

// Message ids in the order they go into the request. Taken by value: the
// caller's queue is never changed.
using MessageIdQueue = std::deque<std::string>;

Status MoveMessages(Session& session, MessageIdQueue ids, const std::string& targetFolderId);
Status DeleteMessages(Session& session, MessageIdQueue ids);

}  // namespace session
