// Moving and deleting messages, several at once.
#pragma once

#include <deque>
#include <string>

#include "session/exchange.h"
#include "session/session.h"
#include "session/status.h"

namespace session {

// Message ids in the order they go into the request. Taken by value: the
// caller's queue is never changed.
using MessageIdQueue = std::deque<std::string>;

// Status::Ok when the provider accepted the move or deletion; Refused when
// its answer did not; RequestTooLarge (nothing sent) when the ids do not fit
// the request; ConnectFailed when the provider could not be reached (the
// caller tells the user). An empty queue still sends a request with an empty array.
Status MoveMessages(Session& session, MessageIdQueue ids, const std::string& targetFolderId);
Status DeleteMessages(Session& session, MessageIdQueue ids);

// The requests the two operations send; they empty the queue they are given.
Request MoveMessagesRequest(const Session& session, MessageIdQueue& ids, const std::string& targetFolderId);
Request DeleteMessagesRequest(const Session& session, MessageIdQueue& ids);

}  // namespace session
