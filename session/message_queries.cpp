#include "session/message_queries.h"

#include "session/provider_directory.h"
#include "session/script_request.h"
#include "session/xml_text.h"

namespace session {

namespace {
constexpr std::size_t kPageBodyBuffer = 512;
// A search names the text it looks for: a file's whole name, escaped.
constexpr std::size_t kSearchBodyBuffer = 8192;
constexpr std::size_t kRequestBuffer = 1024;
// 200 messages with subjects of any length, or a mail's text with its
// escapes: more than the seed's answers ever held.
constexpr std::size_t kPageAnswerCapacity = 4 << 20;
constexpr std::size_t kMessageAnswerCapacity = 4 << 20;

const ExchangeStyle kQueryStyle{Style::Guarded, 6, Style::Guarded, 15, Style::Guarded, 9, AppendMode::Bytes, true};

std::string Paging(std::uint64_t start, std::uint32_t limit) {
    return "<int name=\"start\">" + std::to_string(start) + "</int><int name=\"limit\">" + std::to_string(limit) +
           "</int><boolean name=\"returnTotal\">true</boolean>";
}

Status RunPage(Session& session, const Request& request, MessagePage& page) {
    Answer answer(kPageAnswerCapacity);
    Status status = RunScript(session, request, kQueryStyle, answer);
    if (status != Status::Ok) return status;
    return ReadMessagePageAnswer(answer.Body(), page);
}
}  // namespace

Request MessagePageRequest(const Session& session, const std::string& folderId, std::uint64_t start,
                           std::uint32_t limit, std::uint32_t summaryWindow) {
    std::string body = "<?xml version=\"1.0\"?><object><int name=\"fid\">" + XmlEscape(folderId) +
                       "</int><string name=\"order\">date</string><boolean name=\"desc\">true</boolean>" +
                       Paging(start, limit);
    if (summaryWindow > 0) body += "<int name=\"summaryWindowSize\">" + std::to_string(summaryWindow) + "</int>";
    body += "</object>";
    return ScriptRequest(session, "mbox:listMessages", HeaderOrder::Short, body, kPageBodyBuffer, kRequestBuffer);
}

Request SearchMessagesRequest(const Session& session, const std::string& text,
                              const std::vector<std::string>& folderIds, std::uint64_t start, std::uint32_t limit) {
    std::string body =
        "<?xml version=\"1.0\"?><object><array name=\"conditions\"><object><string name=\"field\">subject</string>"
        "<string name=\"operator\">contains</string><string name=\"operand\">" +
        XmlEscape(text) + "</string><boolean name=\"ignoreCase\">true</boolean></object></array>";
    if (!folderIds.empty()) {
        body += "<array name=\"fids\">";
        for (const std::string& folderId : folderIds) body += "<int>" + XmlEscape(folderId) + "</int>";
        body += "</array>";
    }
    body += Paging(start, limit) + "</object>";
    return ScriptRequest(session, "mbox:searchMessages", HeaderOrder::Short, body, kSearchBodyBuffer,
                         kSearchBodyBuffer + kRequestBuffer);
}

Request ReadMessageRequest(const Session& session, const std::string& messageId) {
    std::string body = "<?xml version=\"1.0\"?><object><string name=\"id\">" + XmlEscape(messageId) +
                       "</string><string name=\"mode\">text</string></object>";
    return ScriptRequest(session, "mbox:readMessage", HeaderOrder::Short, body, kPageBodyBuffer, kRequestBuffer);
}

Status ListMessagePage(Session& session, const std::string& folderId, std::uint64_t start, std::uint32_t limit,
                       MessagePage& page, std::uint32_t summaryWindow) {
    return RunPage(session, MessagePageRequest(session, folderId, start, limit, summaryWindow), page);
}

Status SearchMessagePage(Session& session, const std::string& text, const std::vector<std::string>& folderIds,
                         std::uint64_t start, std::uint32_t limit, MessagePage& page) {
    return RunPage(session, SearchMessagesRequest(session, text, folderIds, start, limit), page);
}

Status ReadMessage(Session& session, const std::string& messageId, MessageContent& content) {
    Answer answer(kMessageAnswerCapacity);
    Status status = RunScript(session, ReadMessageRequest(session, messageId), kQueryStyle, answer);
    if (status != Status::Ok) return status;
    return ReadMessageAnswer(answer.Body(), content);
}

}  // namespace session
