// FetchAttachment: part 3 of one message, streamed from the read page into
// the caller's sink until the whole body has arrived: as long as its
// length, up to its last chunk, to the end of its coded stream.
#include "session/download.h"

#include <memory>

#include "session/body_decoder.h"
#include "session/cells.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/kept_connection.h"
#include "session/script_request.h"
#include "session/speed_guard.h"

namespace session {

namespace {
constexpr std::size_t kRequestBuffer = 1024;
// The rest of the body in large pieces: a receive (and a wait before it)
// per 2 KiB costs more than the transfer itself on a fast link.
constexpr std::size_t kBodyPiece = 65536;

void DownloadRequest(const Session& session, const std::string& messageId, Request& request) {
    request << "GET /js3/read/readdata.jsp?sid=" << CellText(session.sid) << "&mid=" << messageId
            << "&part=3&mode=inline&action=download_attach HTTP/1.1\r\n";
    request.Line("Accept: */*");
    request << "Host: " << CellText(session.host) << "\r\n";
    request.Line("Content-Type: application/xml");
    request << "User-Agent: " << CellText(session.userAgent) << "\r\n";
    request.Line("Connection: close");
    request << CookieLine(session) << "\r\n";
    request << "\r\n";
}

// An open download: the request sent and the answer's head received.
struct OpenDownload {
    Connection connection;
    std::unique_ptr<char[]> head = std::make_unique<char[]>(kHeadCapacity);
    std::size_t filled = 0;
    std::size_t headLength = 0;

    explicit OpenDownload(const ExchangeLimits& limits) : connection(limits) {}
    std::string_view Header() const { return std::string_view(head.get(), headLength - 4); }
    std::string_view BodyStart() const { return std::string_view(head.get() + headLength, filled - headLength); }
};

Status StartDownload(Session& session, const std::string& messageId, OpenDownload& download) {
    if (messageId.empty() || !IsPlainQueryValue(messageId)) return Status::Refused;
    Request request(TextRoom(kRequestBuffer));
    DownloadRequest(session, messageId, request);
    if (request.Overflowed()) return Status::RequestTooLarge;
    session.kept->Drop();  // a session holds one connection at a time
    Status status = download.connection.Open(WebmailEndpoint(session), Style::Plain, 0);
    if (status != Status::Ok) return status;
    status = download.connection.SendAll(request.Text().data(), request.Size(), Style::Plain, 0);
    if (status != Status::Ok) return status;
    status = ReceiveHead(download.connection, download.head.get(), download.filled, download.headLength);
    if (status != Status::Ok) return status;
    int code = StatusCode(download.Header());
    if (code == 0) return Status::Unreadable;
    return code < 200 || code > 299 ? Status::Refused : Status::Ok;
}

// A download answered in script text is the provider refusing (an ended
// session is told so, with status 200): its verdict, read within a bound.
Status ScriptRefusal(Session& session, OpenDownload& download) {
    const ExchangeLimits& limits = session.limits;
    constexpr std::size_t kScriptBound = 65536;
    std::string script;
    BodyDecoder decoder;
    Status status = decoder.Start(download.Header(), kScriptBound);
    if (status == Status::Ok)
        status = ReceiveBody(
            download.connection, limits, decoder,
            [&](const char* data, std::size_t length) {
                script.append(data, length);
                return true;
            },
            download.BodyStart());
    if (status != Status::Ok) return status;
    status = ScriptVerdict(script, session.refusalCode);
    return status == Status::Ok ? Status::Unreadable : status;
}
}  // namespace

Status ReceiveHead(Connection& connection, char* buffer, std::size_t& filled, std::size_t& headLength) {
    filled = 0;
    while (filled < kHeadCapacity) {
        std::size_t received = 0;
        bool failed = false;
        Status status =
            connection.ReceivePiece(buffer + filled, kHeadCapacity - filled, Style::Plain, 0, received, failed);
        if (status != Status::Ok) return status;
        if (received == 0)
            return StartsLikeHttp(std::string_view(buffer, filled)) ? Status::Incomplete : Status::Unreadable;
        std::size_t from = filled >= 3 ? filled - 3 : 0;
        filled += received;
        std::string_view seen(buffer, filled);
        std::size_t end = seen.find("\r\n\r\n", from);
        if (end != std::string_view::npos) {
            headLength = end + 4;
            return Status::Ok;
        }
    }
    return Status::AnswerTooLarge;  // no header end within the first stretch
}

Status ReceiveBody(Connection& connection, const ExchangeLimits& limits, BodyDecoder& decoder, const BodySink& sink,
                   std::string_view start) {
    Status status = decoder.Feed(start.data(), start.size(), sink);
    if (status != Status::Ok) return status;
    SpeedGuard speed(limits);
    auto piece = std::make_unique<char[]>(kBodyPiece);
    while (!decoder.Complete()) {
        std::size_t received = 0;
        bool failed = false;
        connection.CapWaits(speed.WaitLeftMs());
        status = connection.ReceivePiece(piece.get(), kBodyPiece, Style::Plain, 0, received, failed);
        connection.CapWaits(0);
        if (status == Status::TimedOut && speed.Broken()) return Status::TooSlow;
        if (status != Status::Ok) return status;
        if (received == 0) return failed ? Status::Incomplete : decoder.Finish();
        status = decoder.Feed(piece.get(), received, sink);
        if (status != Status::Ok) return status;
        if (!speed.Moved(received)) return Status::TooSlow;
    }
    return decoder.Finish();
}

Status FetchAttachment(Session& session, const std::string& messageId, std::uint64_t limit, const BodySink& sink) {
    session.refusalCode.clear();
    OpenDownload download(session.limits);
    Status status = StartDownload(session, messageId, download);
    if (status != Status::Ok) return status;
    std::string_view type;
    if (HeaderValue(download.Header(), "Content-Type", type) && type.size() >= 15 &&
        EqualsNoCase(type.substr(0, 15), "text/javascript"))
        return ScriptRefusal(session, download);
    BodyDecoder decoder;
    status = decoder.Start(download.Header(), limit);
    if (status != Status::Ok) return status;
    bool stopped = false;
    status = ReceiveBody(
        download.connection, session.limits, decoder,
        [&](const char* data, std::size_t length) {
            stopped = !sink(data, length);
            return !stopped;
        },
        download.BodyStart());
    return stopped ? Status::Cancelled : status;
}

}  // namespace session
