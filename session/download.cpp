// DownloadAttachment: part 3 of one message, streamed from the read page
// into a staged file that replaces the target only when the whole body, as
// long as the answer's header announced, has arrived.
#include "session/download.h"

#include <memory>
#include <optional>

#include "session/cells.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/script_request.h"
#include "session/staged_file.h"
#include "session/transfer_mark.h"

namespace session {

namespace {
constexpr std::size_t kRequestBuffer = 1024;
// The whole answer header must lie within this first stretch.
constexpr std::size_t kHeadCapacity = 20480;
// The rest of the body in large pieces: a receive (and a wait before it)
// per 2 KiB costs more than the transfer itself on a fast link.
constexpr std::size_t kBodyPiece = 65536;

// The size of the message as the session's page of messages lists it.
std::optional<std::uint64_t> ListedSize(const MessageTable& table, const std::string& messageId) {
    std::size_t rows = UsedMessageRows(table);
    for (std::size_t i = 0; i < rows; ++i) {
        const MessageRow& row = table.rows[i];
        if (CellText(row.id) != messageId) continue;
        std::uint64_t size = 0;
        std::string_view text = CellText(row.size);
        if (text.empty() || text.size() > 18) return std::nullopt;
        for (char c : text) {
            if (c < '0' || c > '9') return std::nullopt;
            size = size * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return size;
    }
    return std::nullopt;
}

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

// Receives until the blank line that ends the header has arrived, within
// the first kHeadCapacity bytes. headLength is the header's length with the
// blank line; filled is how much of `buffer` was received.
Status ReceiveHead(Connection& connection, char* buffer, std::size_t& filled, std::size_t& headLength) {
    filled = 0;
    while (filled < kHeadCapacity) {
        std::size_t received = 0;
        bool failed = false;
        Status status =
            connection.ReceivePiece(buffer + filled, kHeadCapacity - filled, Style::Plain, 0, received, failed);
        if (status != Status::Ok) return status;
        if (received == 0) return Status::Incomplete;
        std::size_t from = filled >= 3 ? filled - 3 : 0;
        filled += received;
        std::string_view seen(buffer, filled);
        std::size_t end = seen.find("\r\n\r\n", from);
        if (end != std::string_view::npos) {
            headLength = end + 4;
            return Status::Ok;
        }
    }
    return Status::Refused;  // no header end within the first stretch
}

// What the header says about the body: its length, when announced.
Status ReadHead(std::string_view head, std::optional<std::uint64_t>& length) {
    int code = StatusCode(head);
    if (code < 200 || code > 299) return Status::Refused;
    std::string_view encoding;
    // A coded body (chunks) would land in the file with its framing.
    if (HeaderValue(head, "Transfer-Encoding", encoding) && encoding != "identity") return Status::Refused;
    std::uint64_t announced = 0;
    switch (ContentLength(head, announced)) {
    case LengthField::Absent: length.reset(); return Status::Ok;
    case LengthField::Valid: length = announced; return Status::Ok;
    case LengthField::Malformed: return Status::Refused;
    }
    return Status::Refused;
}

Status ReceiveBody(Connection& connection, StagedFile& file, TransferMark& mark, std::string_view start,
                   std::optional<std::uint64_t> length) {
    auto keep = [&](std::size_t available) -> std::size_t {
        if (!length) return available;
        std::uint64_t left = *length - mark.Done();
        return available < left ? available : static_cast<std::size_t>(left);
    };
    std::size_t first = keep(start.size());
    if (!file.Write(start.data(), first)) return Status::FileError;
    mark.SetDone(first);

    auto piece = std::make_unique<char[]>(kBodyPiece);
    while (!length || mark.Done() < *length) {
        std::size_t received = 0;
        bool failed = false;
        Status status = connection.ReceivePiece(piece.get(), kBodyPiece, Style::Plain, 0, received, failed);
        if (status != Status::Ok) return status;
        if (received == 0) {
            // Without an announced length only a clean close ends the body.
            if (failed || length) return Status::Incomplete;
            break;
        }
        std::size_t use = keep(received);
        if (!file.Write(piece.get(), use)) return Status::FileError;
        mark.AddDone(use);
    }
    return Status::Ok;
}
}  // namespace

Status DownloadAttachment(Session& session, const std::string& messageId, const std::filesystem::path& path) {
    TransferMark mark(session.downloadIdle, session.downloadReceived, session.downloadTotal);
    if (std::optional<std::uint64_t> listed = ListedSize(session.messageTable, messageId)) mark.SetTotal(*listed);

    if (messageId.empty() || !IsPlainQueryValue(messageId)) return Status::Refused;
    Request request(TextRoom(kRequestBuffer));
    DownloadRequest(session, messageId, request);
    if (request.Overflowed()) return Status::RequestTooLarge;

    StagedFile file(path);
    if (!file.Open()) return Status::FileError;

    Connection connection(session.limits);
    Status status = connection.Open(WebmailEndpoint(session), Style::Plain, 0);
    if (status != Status::Ok) return status;
    status = connection.SendAll(request.Text().data(), request.Size(), Style::Plain, 0);
    if (status != Status::Ok) return status;

    auto head = std::make_unique<char[]>(kHeadCapacity);
    std::size_t filled = 0;
    std::size_t headLength = 0;
    status = ReceiveHead(connection, head.get(), filled, headLength);
    if (status != Status::Ok) return status;
    std::optional<std::uint64_t> length;
    status = ReadHead(std::string_view(head.get(), headLength), length);
    if (status != Status::Ok) return status;
    // The announced length is the exact size; the listed one is the whole mail's.
    if (length) mark.SetTotal(*length);

    status =
        ReceiveBody(connection, file, mark, std::string_view(head.get() + headLength, filled - headLength), length);
    connection.Close();
    if (status != Status::Ok) return status;
    return file.Commit() ? Status::Ok : Status::FileError;
}

}  // namespace session
