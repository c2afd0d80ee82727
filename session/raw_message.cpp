#include "session/raw_message.h"

#include <memory>
#include <string_view>

#include "session/body_decoder.h"
#include "session/cells.h"
#include "session/download.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/kept_connection.h"
#include "session/provider_directory.h"
#include "session/script_request.h"

namespace session {

namespace {
// A refusal in script text is short; more than this is no refusal.
constexpr std::size_t kScriptBound = 65536;
}  // namespace

std::string RawMessageRequest(const Session& session, const std::string& messageId) {
    std::string request = "GET /js3/read/readdata.jsp?sid=" + std::string(CellText(session.sid)) + "&mid=" + messageId +
                          "&mode=download&action=download_eml HTTP/1.1\r\n";
    request += "Accept: */*\r\n";
    request += "Host: " + std::string(CellText(session.host)) + "\r\n";
    request += "User-Agent: " + std::string(CellText(session.userAgent)) + "\r\n";
    request += "Connection: close\r\n";
    request += CookieLine(session) + "\r\n\r\n";
    return request;
}

Status FetchRawMessage(Session& session, const std::string& messageId, std::uint64_t limit, const BodySink& sink) {
    session.refusalCode.clear();
    if (messageId.empty() || !IsPlainQueryValue(messageId)) return Status::Refused;
    std::string request = RawMessageRequest(session, messageId);
    session.kept->Drop();  // a session holds one connection at a time
    Connection connection(session.limits);
    Status status = connection.Open(WebmailEndpoint(session), Style::Plain, 0);
    if (status == Status::Ok) status = connection.SendAll(request.data(), request.size(), Style::Plain, 0);
    auto head = std::make_unique<char[]>(kHeadCapacity);
    std::size_t filled = 0, headLength = 0;
    if (status == Status::Ok) status = ReceiveHead(connection, head.get(), filled, headLength);
    if (status != Status::Ok) return status;
    std::string_view header(head.get(), headLength - 4);
    std::string_view bodyStart(head.get() + headLength, filled - headLength);
    int code = StatusCode(header);
    if (code == 0) return Status::Unreadable;
    if (code < 200 || code > 299) return Status::Refused;

    // An ended session is told in script text, with status 200.
    std::string_view type;
    if (HeaderValue(header, "Content-Type", type) && type.size() >= 15 &&
        EqualsNoCase(type.substr(0, 15), "text/javascript")) {
        std::string script;
        BodyDecoder decoder;
        status = decoder.Start(header, kScriptBound);
        if (status == Status::Ok)
            status = ReceiveBody(
                connection, session.limits, decoder,
                [&](const char* data, std::size_t length) { return script.append(data, length), true; }, bodyStart);
        if (status != Status::Ok) return status;
        status = ScriptVerdict(script, session.refusalCode);
        return status == Status::Ok ? Status::Unreadable : status;
    }

    BodyDecoder decoder;
    status = decoder.Start(header, limit);
    if (status != Status::Ok) return status;
    bool cancelled = false;
    status = ReceiveBody(
        connection, session.limits, decoder,
        [&](const char* data, std::size_t length) { return sink(data, length) || (cancelled = true, false); },
        bodyStart);
    connection.Close();
    return cancelled ? Status::Cancelled : status;
}

}  // namespace session
