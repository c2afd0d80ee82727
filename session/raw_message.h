// Fetching a message's whole source (what an .eml file holds): the read
// page's download_eml action, streamed to the caller as it arrives.
#pragma once

#include <cstdint>
#include <string>

#include "session/body_decoder.h"
#include "session/session.h"
#include "session/status.h"

namespace session {

// Refused when the provider refused (an error status, or script text: then
// session.refusalCode holds its code); Incomplete when the body ended early;
// AnswerTooLarge past `limit` bytes; Cancelled when the sink refused a piece.
Status FetchRawMessage(Session& session, const std::string& messageId, std::uint64_t limit, const BodySink& sink);

// The request it sends.
std::string RawMessageRequest(const Session& session, const std::string& messageId);

}  // namespace session
