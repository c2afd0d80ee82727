#include "session/raw_message.h"

#include <memory>
#include <string_view>

#include "session/body_decoder.h"
#include "session/cells.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/provider_directory.h"
#include "session/script_request.h"
#include "session/staged_file.h"
#include "session/transfer_mark.h"

namespace session {

namespace {
constexpr std::size_t kHeadCapacity = 20480;
constexpr std::size_t kPiece = 65536;
// A refusal in script text is short; more than this is no refusal.
constexpr std::size_t kScriptBound = 65536;

Status ReceiveHead(Connection& connection, std::string& received, std::size_t& headLength) {
    auto buffer = std::make_unique<char[]>(kHeadCapacity);
    received.clear();
    while (received.size() < kHeadCapacity) {
        std::size_t n = 0;
        bool failed = false;
        Status status = connection.ReceivePiece(buffer.get(), kHeadCapacity - received.size(), Style::Plain, 0, n, failed);
        if (status != Status::Ok) return status;
        if (n == 0) return StartsLikeHttp(received) ? Status::Incomplete : Status::Unreadable;
        std::size_t from = received.size() >= 3 ? received.size() - 3 : 0;
        received.append(buffer.get(), n);
        std::size_t end = received.find("\r\n\r\n", from);
        if (end != std::string::npos) {
            headLength = end + 4;
            return Status::Ok;
        }
    }
    return Status::AnswerTooLarge;
}

Status ReceiveBody(Connection& connection, const ExchangeLimits& limits, BodyDecoder& decoder, const BodySink& sink,
                   std::string_view start) {
    Status status = decoder.Feed(start.data(), start.size(), sink);
    if (status != Status::Ok) return status;
    SpeedGuard speed(limits);
    auto piece = std::make_unique<char[]>(kPiece);
    while (!decoder.Complete()) {
        std::size_t n = 0;
        bool failed = false;
        status = connection.ReceivePiece(piece.get(), kPiece, Style::Plain, 0, n, failed);
        if (status != Status::Ok) return status;
        if (n == 0) return failed ? Status::Incomplete : decoder.Finish();
        status = decoder.Feed(piece.get(), n, sink);
        if (status != Status::Ok) return status;
        if (!speed.Moved(n)) return Status::TooSlow;
    }
    return decoder.Finish();
}
}  // namespace

std::string RawMessageRequest(const Session& session, const std::string& messageId) {
    std::string request = "GET /js3/read/readdata.jsp?sid=" + std::string(CellText(session.sid)) + "&mid=" +
                          messageId + "&mode=download&action=download_eml HTTP/1.1\r\n";
    request += "Accept: */*\r\n";
    request += "Host: " + std::string(CellText(session.host)) + "\r\n";
    request += "User-Agent: " + std::string(CellText(session.userAgent)) + "\r\n";
    request += "Connection: close\r\n";
    request += CookieLine(session) + "\r\n\r\n";
    return request;
}

Status DownloadRawMessage(Session& session, const std::string& messageId, const std::filesystem::path& path,
                          std::uint64_t limit, const std::function<bool(std::uint64_t)>& received) {
    SetLastRefusalCode("");
    if (messageId.empty() || !IsPlainQueryValue(messageId)) return Status::Refused;
    std::string request = RawMessageRequest(session, messageId);
    Connection connection(session.limits);
    Status status = connection.Open(WebmailEndpoint(session), Style::Plain, 0);
    if (status == Status::Ok) status = connection.SendAll(request.data(), request.size(), Style::Plain, 0);
    std::string head;
    std::size_t headLength = 0;
    if (status == Status::Ok) status = ReceiveHead(connection, head, headLength);
    if (status != Status::Ok) return status;
    std::string_view header(head.data(), headLength - 4);
    std::string_view bodyStart(head.data() + headLength, head.size() - headLength);
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
            status = ReceiveBody(connection, session.limits, decoder,
                                 [&](const char* data, std::size_t length) { return script.append(data, length), true; },
                                 bodyStart);
        if (status != Status::Ok) return status;
        status = ScriptVerdict(script);
        return status == Status::Ok ? Status::Unreadable : status;
    }

    StagedFile file(path);
    if (!file.Open()) return Status::FileError;
    BodyDecoder decoder;
    status = decoder.Start(header, limit);
    if (status != Status::Ok) return status;
    std::uint64_t done = 0;
    bool cancelled = false, unwritten = false;
    status = ReceiveBody(connection, session.limits, decoder,
                         [&](const char* data, std::size_t length) {
                             if (!file.Write(data, length)) return unwritten = true, false;
                             done += length;
                             if (received && !received(done)) return cancelled = true, false;
                             return true;
                         },
                         bodyStart);
    connection.Close();
    if (cancelled) return Status::Cancelled;
    if (unwritten) return Status::FileError;
    if (status != Status::Ok) return status;
    return file.Commit() ? Status::Ok : Status::FileError;
}

}  // namespace session
