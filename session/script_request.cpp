#include "session/script_request.h"

#include "session/cells.h"
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
        request.Line("Connection: close");
    } else {
        request.Line("Content-Type: application/xml");
        request << "Referer: " << SchemeName(session.hostScheme) << "://" << host << "/a/j/js3/index.jsp?sid=" << sid
                << "\r\n";
        request.Line("Accept-Language: zh-cn");
        request << "User-Agent: " << CellText(session.userAgent) << "\r\n";
        request << "Host: " << host << "\r\n";
        request << "Content-Length: " << length << "\r\n";
        request.Line("Connection: close");
        request.Line("Cache-Control: no-cache");
    }
    request.Line(CookieLine(session));
    request << "\r\n" << body;
    return request;
}

bool AnswerAccepted(std::string_view body) {
    KeywordScanner scanner(body);
    for (ScanEvent event = scanner.Next(); event != ScanEvent::End; event = scanner.Next()) {
        if (event == ScanEvent::Member && scanner.Depth() == 1 && scanner.Key() == "code")
            return scanner.Kind() == ValueKind::Text && scanner.Value() == "S_OK";
    }
    return false;
}

}  // namespace session
