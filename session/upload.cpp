// UploadFile: the file's bytes as a multipart form to the compose session's
// upload address, streamed from disk in chunks, then the delivery.
#include "session/upload.h"

#include <fstream>
#include <functional>
#include <memory>
#include <system_error>

#include "session/cells.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/script_request.h"
#include "session/transfer_mark.h"

namespace session {

namespace {
// Each delimiter line of the body is the 42-character text; the header
// declares it without its first two dashes.
constexpr char kDelimiter[] = "-----------------------------7d95d2346050c";
constexpr char kDeclaredBoundary[] = "---------------------------7d95d2346050c";
constexpr std::size_t kHeadBuffer = 1024;
// The part head names the whole path; room for the longest Windows path in
// UTF-8 besides the fixed text.
constexpr std::size_t kPartHeadCapacity = 4096;
constexpr std::size_t kChunk = 5120;
constexpr std::size_t kSendBuffer = 204800;  // 40 chunks
constexpr int kUploadWaitSeconds = 90;
constexpr int kAnswerWaitSeconds = 6;

// A file name inside the quoted filename parameter: the characters that
// would end the parameter or the line are percent-encoded, as browsers do.
std::string QuotedFileName(const std::string& utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out.push_back(c);
    }
    return out;
}

std::string PathUtf8(const std::filesystem::path& path) {
    auto text = path.u8string();  // std::string before C++20, std::u8string after
    return std::string(text.begin(), text.end());
}

std::string PartTail() {
    return std::string("\r\n") + kDelimiter +
           "\r\nContent-Disposition: form-data; name=\"file2\"; filename=\"\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n"
           "\r\n" +
           kDelimiter + "--\r\n";
}

void UploadHead(const Session& session, std::uint64_t contentLength, Request& head) {
    head << "POST /a/p/upload.html?sid=" << CellText(session.sid) << "&composeId=" << CellText(session.composeId)
         << " HTTP/1.1\r\n";
    head.Line("Accept: */*");
    head << "Host: " << CellText(session.host) << "\r\n";
    head << "Content-Length: " << std::to_string(contentLength) << "\r\n";
    head << "Content-Type: multipart/form-data; boundary=" << kDeclaredBoundary << "\r\n";
    head << "User-Agent: " << CellText(session.userAgent) << "\r\n";
    head.Line("Connection: Keep-Alive");
    head << CookieLine(session) << "\r\n";
    head << "\r\n";
}

// Reads the file in chunks of one read each; a read that returns fewer
// than a whole chunk is the last (an exact multiple ends with an empty
// chunk). The chunks are gathered in the send buffer, which goes to the
// socket whenever it cannot take another chunk and after the last one: the
// same bytes in a fortieth of the system calls. A file that changes length
// meanwhile is a failure, since the announced Content-Length would no
// longer hold.
Status SendFileChunks(Connection& connection, std::ifstream& file, std::uint64_t size,
                      const std::function<void(std::size_t)>& onSent) {
    auto buffer = std::make_unique<char[]>(kSendBuffer);
    std::size_t filled = 0;
    auto flush = [&]() -> Status {
        if (filled == 0) return Status::Ok;
        Status status = connection.SendAll(buffer.get(), filled, Style::Guarded, kUploadWaitSeconds, onSent);
        filled = 0;
        return status;
    };
    std::uint64_t remaining = size;
    for (;;) {
        if (filled + kChunk > kSendBuffer) {
            Status status = flush();
            if (status != Status::Ok) return status;
        }
        std::size_t want = remaining < kChunk ? static_cast<std::size_t>(remaining) : kChunk;
        std::size_t got = 0;
        if (want > 0) {
            file.read(buffer.get() + filled, static_cast<std::streamsize>(want));
            got = static_cast<std::size_t>(file.gcount());
            if (got != want) return Status::FileError;
        }
        filled += got;
        remaining -= got;
        if (got < kChunk) return flush();
    }
}

// Sends the form in its four phases (head, part head, file, tail), closes
// the file, and reads the first piece of the answer: the connection was
// asked to stay open, so nothing more is waited for. An answer that never
// came or that is an error status means the upload was not taken.
Status PostForm(Session& session, const Request& head, const std::string& partHead, std::ifstream& file,
                std::uint64_t size, const std::string& tail, TransferMark& mark) {
    Connection connection(session.limits);
    Status status = connection.Open(WebmailEndpoint(session), Style::Guarded, kUploadWaitSeconds);
    if (status != Status::Ok) return status;
    const std::function<void(std::size_t)> onSent = [&mark](std::size_t sent) { mark.AddDone(sent); };
    status = connection.SendAll(head.Text().data(), head.Size(), Style::Guarded, kUploadWaitSeconds, onSent);
    if (status == Status::Ok)
        status = connection.SendAll(partHead.data(), partHead.size(), Style::Guarded, kUploadWaitSeconds, onSent);
    if (status == Status::Ok) status = SendFileChunks(connection, file, size, onSent);
    if (status == Status::Ok)
        status = connection.SendAll(tail.data(), tail.size(), Style::Guarded, kUploadWaitSeconds, onSent);
    file.close();
    if (status != Status::Ok) return status;

    auto piece = std::make_unique<char[]>(kReceivePiece);
    std::size_t received = 0;
    bool failed = false;
    status = connection.ReceivePiece(piece.get(), kReceivePiece, Style::Guarded, kAnswerWaitSeconds, received, failed);
    if (status != Status::Ok) return status;
    if (received == 0 || IsErrorStatus(std::string_view(piece.get(), received))) return Status::Refused;
    return Status::Ok;
}
}  // namespace

std::string UploadSubject(const std::filesystem::path& path) {
    return PathUtf8(path.filename());
}

Status UploadFile(Session& session, const std::filesystem::path& path) {
    TransferMark mark(session.uploadIdle, session.uploadSent, session.uploadTotal);

    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return Status::FileError;
    std::ifstream file(path, std::ios::binary);
    if (!file) return Status::FileError;
    std::uint64_t size = std::filesystem::file_size(path, error);
    if (error) return Status::FileError;
    if (size > kLargestUpload) return Status::FileTooLarge;
    mark.SetTotal(size);

    Request partHead(kPartHeadCapacity);
    partHead << kDelimiter << "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\""
             << QuotedFileName(PathUtf8(path)) << "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    if (partHead.Overflowed()) return Status::RequestTooLarge;
    const std::string tail = PartTail();

    Status status = GetComposeId(session);
    if (status != Status::Ok) return status;

    Request head(TextRoom(kHeadBuffer));
    UploadHead(session, partHead.Size() + size + tail.size(), head);
    if (head.Overflowed()) return Status::RequestTooLarge;
    session.uploadRequest = head.Text();

    status = PostForm(session, head, partHead.Text(), file, size, tail, mark);
    if (status != Status::Ok) return status;
    return DeliverUpload(session, UploadSubject(path));
}

}  // namespace session
