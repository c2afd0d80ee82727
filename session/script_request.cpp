#include "session/script_request.h"

#include "session/cells.h"
#include "session/kept_connection.h"
#include "session/keyword_scanner.h"

namespace session {

Request ScriptRequest(const Session& session, std::string_view function, HeaderOrder order, const std::string& body,
                      std::size_t bodyBuffer, std::size_t requestBuffer) {
    if (body.size() > TextRoom(bodyBuffer)) {
        // The body alone does not fit its buffer: a request without room is
        // marked overflowed by its first byte and is never sent.
        Request refused(0);
        refused << "\r\n";
        return refused;
    }
    Request request(TextRoom(requestBuffer));
    std::string_view host = CellText(session.host);
    std::string_view sid = CellText(session.sid);
    std::string length = std::to_string(body.size());

    request << "POST /a/s?sid=" << sid << "&func=" << function << " HTTP/1.1\r\n";
    request.Line("Accept: text/javascript");
    if (order == HeaderOrder::Short) {
        request << "Host: " << host << "\r\n";
        request << "Content-Length: " << length << "\r\n";
        request.Line("Content-Type: application/xml");
        request << "User-Agent: " << CellText(session.userAgent) << "\r\n";
        request.Line("Connection: keep-alive");
    } else {
        request.Line("Content-Type: application/xml");
        request << "Referer: " << SchemeName(session.hostScheme) << "://" << host << "/a/j/js3/index.jsp?sid=" << sid
                << "\r\n";
        request.Line("Accept-Language: zh-cn");
        request << "User-Agent: " << CellText(session.userAgent) << "\r\n";
        request << "Host: " << host << "\r\n";
        request << "Content-Length: " << length << "\r\n";
        request.Line("Connection: keep-alive");
        request.Line("Cache-Control: no-cache");
    }
    request.Line(CookieLine(session));
    request << "\r\n" << body;
    return request;
}

Status ScriptVerdict(std::string_view body, std::string& refusalCode) {
    refusalCode.clear();
    KeywordScanner scanner(body);
    bool opened = false;
    bool closed = false;
    bool hasCode = false;
    std::string code;
    for (ScanEvent event = scanner.Next(); event != ScanEvent::End && !closed; event = scanner.Next()) {
        if (event == ScanEvent::ObjectOpen) opened = true;
        if (event == ScanEvent::ObjectClose && opened && scanner.Depth() == 0) closed = true;
        if (event == ScanEvent::Member && scanner.Depth() == 1 && scanner.Key() == "code" && !hasCode) {
            hasCode = true;
            code = scanner.Value();
        }
    }
    if (!opened) return Status::Unreadable;
    if (!closed) return Status::Incomplete;
    if (!hasCode) return Status::Unreadable;
    if (code == "S_OK") return Status::Ok;
    refusalCode = std::move(code);
    return Status::Refused;
}

Status RunScript(Session& session, const Request& request, const ExchangeStyle& style, Answer& answer) {
    session.refusalCode.clear();
    if (request.Overflowed()) return Status::RequestTooLarge;
    Status status = session.kept->Exchange(WebmailEndpoint(session), request, style, session.limits, answer);
    if (status != Status::Ok) return status;
    return ScriptVerdict(answer.Body(), session.refusalCode);
}

}  // namespace session
