#include "session/message_moves.h"

#include "session/provider_directory.h"
#include "session/script_request.h"

namespace session {

namespace {
constexpr std::size_t kMoveBuffer = 4096;     // body and request alike
constexpr std::size_t kDeleteBuffer = 10240;  // body and request alike

const ExchangeStyle kPlainText{Style::Plain, 0, Style::Plain, 0, Style::Plain, 0, AppendMode::Text};

// "<string>id</string>" for every id, front to back; empties the queue.
std::string IdElements(MessageIdQueue& ids) {
    std::string out;
    while (!ids.empty()) {
        out += "<string>" + XmlEscape(ids.front()) + "</string>";
        ids.pop_front();
    }
    return out;
}

Status Run(Session& session, const Request& request) {
    Answer answer;
    return RunScript(session, request, kPlainText, answer);
}
}  // namespace

Request MoveMessagesRequest(const Session& session, MessageIdQueue& ids, const std::string& targetFolderId) {
    std::string body = "<?xml version=\"1.0\"?><object><array name=\"ids\">" + IdElements(ids) +
                       "</array><object name=\"attrs\"><int name=\"fid\">" + XmlEscape(targetFolderId) +
                       "</int></object></object>";
    return ScriptRequest(session, "mbox:updateMessageInfos", HeaderOrder::Long, body, kMoveBuffer, kMoveBuffer);
}

Request DeleteMessagesRequest(const Session& session, MessageIdQueue& ids) {
    std::string body = "<?xml version=\"1.0\"?><object><array name=\"ids\">" + IdElements(ids) + "</array></object>";
    return ScriptRequest(session, "mbox:deleteMessages", HeaderOrder::Long, body, kDeleteBuffer, kDeleteBuffer);
}

Status MoveMessages(Session& session, MessageIdQueue ids, const std::string& targetFolderId) {
    return Run(session, MoveMessagesRequest(session, ids, targetFolderId));
}

Status DeleteMessages(Session& session, MessageIdQueue ids) {
    return Run(session, DeleteMessagesRequest(session, ids));
}

}  // namespace session
