#include "session/listing.h"

#include "session/answer_rows.h"
#include "session/exchange.h"
#include "session/provider_directory.h"
#include "session/script_request.h"

namespace session {

namespace {
constexpr std::size_t kBodyBuffer = 512;
constexpr std::size_t kRequestBuffer = 1024;

// Guarded connect (6 s), guarded sends (15 s), guarded receives (9 s) as text.
const ExchangeStyle kListingStyle{Style::Guarded, 6, Style::Guarded, 15, Style::Guarded, 9, AppendMode::Text};
}  // namespace

Request ListMessagesRequest(const Session& session, const std::string& folderId) {
    // Always the first page: start 0, limit 50, newest first.
    std::string body = "<?xml version=\"1.0\"?><object><int name=\"fid\">" + XmlEscape(folderId) +
                       "</int><string name=\"order\">date</string><boolean name=\"desc\">true</boolean>"
                       "<int name=\"start\">0</int><int name=\"limit\">50</int></object>";
    return ScriptRequest(session, "mbox:listMessages", HeaderOrder::Short, body, kBodyBuffer, kRequestBuffer);
}

Status ListMessages(Session& session, const std::string& folderId, MessageTable& table) {
    Answer answer;
    // A refused or cut-off listing (wrong session, unknown folder) leaves
    // the table as the caller left it, like every other failure.
    Status status = RunScript(session, ListMessagesRequest(session, folderId), kListingStyle, answer);
    if (status != Status::Ok) return status;
    ReadMessagePage(answer.Body(), table);
    return Status::Ok;
}

}  // namespace session
