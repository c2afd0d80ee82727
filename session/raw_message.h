// Fetching a message's whole source (an .eml file): the read page's
// download_eml action, streamed into a staged file that replaces the target
// only when the whole source has arrived.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "session/session.h"
#include "session/status.h"

namespace session {

// Refused when the provider refused (an error status, or script text: then
// session.refusalCode holds its code); Incomplete when the body ended early;
// AnswerTooLarge past `limit` bytes; FileError when the target could not be
// written. `received` (may be empty) hears the bytes so far and may cancel.
Status DownloadRawMessage(Session& session, const std::string& messageId, const std::filesystem::path& path,
                          std::uint64_t limit, const std::function<bool(std::uint64_t)>& received = {});

// The request it sends.
std::string RawMessageRequest(const Session& session, const std::string& messageId);

}  // namespace session
