// The provider's functions that read messages as values: one page of a
// folder's listing or of a subject search (each with the total it counts),
// and one message's text and attachments. The callers above page through
// a folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/exchange.h"
#include "session/message_values.h"
#include "session/session.h"
#include "session/status.h"

namespace session {

// The most messages one page asks for; the provider may answer fewer.
constexpr std::uint32_t kLargestPage = 200;

// Messages start..start+limit-1 of the folder, newest first, with the total.
// A summary window above 0 asks the provider for the first that many
// characters of each message's text (MessageSummary::summary).
Status ListMessagePage(Session& session, const std::string& folderId, std::uint64_t start, std::uint32_t limit,
                       MessagePage& page, std::uint32_t summaryWindow = 0);
// Messages whose subject contains `text` (ASCII letters in any case), in
// the given folders or, when there are none, in every folder; paged as above.
Status SearchMessagePage(Session& session, const std::string& text, const std::vector<std::string>& folderIds,
                         std::uint64_t start, std::uint32_t limit, MessagePage& page);
// Status::Refused (session.refusalCode FA_MESSAGE_NOT_FOUND) for an unknown id.
Status ReadMessage(Session& session, const std::string& messageId, MessageContent& content);

// The requests they send (overflowed when they would not fit).
Request MessagePageRequest(const Session& session, const std::string& folderId, std::uint64_t start,
                           std::uint32_t limit, std::uint32_t summaryWindow = 0);
Request SearchMessagesRequest(const Session& session, const std::string& text,
                              const std::vector<std::string>& folderIds, std::uint64_t start, std::uint32_t limit);
Request ReadMessageRequest(const Session& session, const std::string& messageId);

}  // namespace session
