// Fetching a stored file: the attachment part of one message.
#pragma once

#include <string>
#include <string_view>

#include "session/body_decoder.h"
#include "session/session.h"
#include "session/status.h"

namespace session {

// Streams the decoded attachment of messageId into `sink`, at most `limit`
// bytes (AnswerTooLarge past it). Leaves the session's transfer counters
// alone. Cancelled when the sink refuses a piece; Refused when the provider
// refused, in script text too (session.refusalCode then holds its code, e.g.
// FA_INVALID_SESSION); Incomplete when the body ended early.
Status FetchAttachment(Session& session, const std::string& messageId, std::uint64_t limit, const BodySink& sink);

class Connection;
struct ExchangeLimits;

// What every download from the webmail host reads its answer with. The
// whole answer header must lie within the first kHeadCapacity bytes.
constexpr std::size_t kHeadCapacity = 20480;

// Receives into `buffer` (kHeadCapacity bytes) until the blank line that
// ends the header has arrived. headLength is the header's length with the
// blank line; filled is how much of `buffer` was received.
Status ReceiveHead(Connection& connection, char* buffer, std::size_t& filled, std::size_t& headLength);

// Streams the body through its decoder into the sink until the body is
// complete or the server closes, within the transfer's low-speed bound.
Status ReceiveBody(Connection& connection, const ExchangeLimits& limits, BodyDecoder& decoder, const BodySink& sink,
                   std::string_view start);

}  // namespace session
