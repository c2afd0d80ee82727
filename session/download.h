// Fetching a stored file: the attachment part of one message.
#pragma once

#include <filesystem>
#include <string>

#include "session/body_decoder.h"
#include "session/session.h"
#include "session/status.h"

namespace session {

// Downloads the attachment of messageId into `path`. The target is replaced
// only when the whole attachment arrived; on any failure it is left as it
// was. downloadIdle/downloadReceived/downloadTotal move while bytes travel
// and are back to 1/0/0 on every return.
Status DownloadAttachment(Session& session, const std::string& messageId, const std::filesystem::path& path);

// Streams the decoded attachment of messageId into `sink`, at most `limit`
// bytes (AnswerTooLarge past it). Leaves the session's transfer counters
// alone. Cancelled when the sink refuses a piece; Refused when the provider
// refused, in script text too (LastRefusalCode() then holds its code, e.g.
// FA_INVALID_SESSION); Incomplete when the body ended early.
Status FetchAttachment(Session& session, const std::string& messageId, std::uint64_t limit, const BodySink& sink);

}  // namespace session
