// GET /js3/read/readdata.jsp?sid=SID&mid=ID&part=3&...: the attachment of
// a message (with action=download_eml instead of a part: the whole message's
// source, raw_mail.h), streamed from disk: plain with its exact length, or in the
// provider's answer coding (gzip alone goes without a length and ends
// with the connection). A session that is unknown or has expired is told
// as the script functions tell it, with status 200 and the code
// FA_INVALID_SESSION in script text, never with a Content-Disposition;
// other refusals carry an error status and a short text.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "answer_shapes.h"
#include "raw_mail.h"
#include "roles.h"
#include "store.h"
#include "url_codec.h"

namespace provider {

namespace {

constexpr const char* kAttachmentPart = "3";

void SendRefusal(Connection& connection, int status, const std::string& text) {
    connection.SendAll(AnswerText(PlainAnswer(status, text)));
}

bool SendCoded(BodyEncoder& encoder, Connection& connection, std::string_view piece) {
    std::string coded;
    return encoder.Encode(piece, coded) && connection.SendAll(coded) == IoResult::Ok;
}

// The source goes without a length, ended by the close (or its coding's end).
void ServeRawMail(ServerContext& context, const std::string& account, const std::string& mid, Connection& connection) {
    MessageRecord message;
    Fault fault = context.store.ReadMessage(account, mid, message);
    if (fault == Fault::MessageNotFound) return SendRefusal(connection, 404, "no such message\n");
    if (fault != Fault::None) return SendRefusal(connection, 500, "the message cannot be read\n");
    UniqueFd file;
    if (message.Attached() && context.store.OpenAttachment(account, mid, file, message) != Fault::None)
        return SendRefusal(connection, 500, "the attachment cannot be read\n");

    const std::string boundary = "----=_vantlo_" + mid;
    HeaderList headers = {
        {"Content-Type", "message/rfc822"},
        {"Content-Disposition", "attachment; filename*=UTF-8''" + PercentEncode(message.subject + ".eml")},
    };
    BodyEncoder encoder(context.coding, 1);
    encoder.AddHeaders(headers);
    if (connection.SendAll(AnswerHead(200, headers, std::nullopt)) != IoResult::Ok) return;
    if (!SendCoded(encoder, connection, RawMailHead(message, boundary))) return;
    if (message.Attached()) {
        // Whole base64 lines per read, so that lines never break across pieces.
        std::vector<char> piece(57 * 4096);
        for (;;) {
            std::size_t filled = 0;
            while (filled < piece.size()) {
                ssize_t n = ::read(file.Get(), piece.data() + filled, piece.size() - filled);
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) return;
                if (n == 0) break;
                filled += static_cast<std::size_t>(n);
            }
            if (filled > 0 && !SendCoded(encoder, connection, Base64Lines(piece.data(), filled))) return;
            if (filled < piece.size()) break;
        }
    }
    if (!SendCoded(encoder, connection, RawMailTail(boundary))) return;
    std::string coded;
    if (encoder.Finish(coded)) connection.SendAll(coded);
}

}  // namespace

void ServeDownload(ServerContext& context, const HttpRequest& request, Connection& connection) {
    std::optional<std::string> account = WebSessionAccount(context, request);
    if (!account) {
        connection.SendAll(AnswerText(ScriptAnswer(FaultAnswer(context.style, Fault::InvalidSession)), context.coding));
        return;
    }
    FieldList query = ParseQuery(request.query);
    const std::string* mid = FindField(query, "mid");
    const std::string* part = FindField(query, "part");
    if (mid == nullptr || mid->empty()) return SendRefusal(connection, 400, "no message id\n");
    const std::string* action = FindField(query, "action");
    if (action != nullptr && *action == "download_eml") return ServeRawMail(context, *account, *mid, connection);
    if (part == nullptr || *part != kAttachmentPart) return SendRefusal(connection, 404, "no such part\n");

    UniqueFd file;
    MessageRecord message;
    Fault fault = context.store.OpenAttachment(*account, *mid, file, message);
    if (fault == Fault::MessageNotFound) return SendRefusal(connection, 404, "no such message\n");
    if (fault == Fault::NoAttachment) return SendRefusal(connection, 404, "the message has no attachment\n");
    if (fault != Fault::None) return SendRefusal(connection, 500, "the attachment cannot be read\n");
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) return SendRefusal(connection, 500, "the attachment cannot be read\n");

    HeaderList headers = {
        {"Content-Type", "application/octet-stream"},
        {"Content-Disposition", "attachment; filename*=UTF-8''" + PercentEncode(message.AttachmentName())},
    };
    const unsigned long long length = static_cast<unsigned long long>(info.st_size);
    BodyEncoder encoder(context.coding, 1);
    encoder.AddHeaders(headers);
    std::optional<unsigned long long> announced;
    if (context.coding == AnswerCoding::Plain) announced = length;
    if (connection.SendAll(AnswerHead(200, headers, announced)) != IoResult::Ok) return;
    std::vector<char> piece(256 * 1024);
    std::string coded;
    unsigned long long left = length;
    while (left > 0) {
        std::size_t want = left < piece.size() ? static_cast<std::size_t>(left) : piece.size();
        ssize_t n = ::read(file.Get(), piece.data(), want);
        if (n < 0 && errno == EINTR) continue;
        // The file shrank: the client sees fewer bytes than announced, or
        // a coded body without its end.
        if (n <= 0) return;
        coded.clear();
        if (!encoder.Encode(std::string_view(piece.data(), static_cast<std::size_t>(n)), coded) ||
            connection.SendAll(coded) != IoResult::Ok)
            return;
        left -= static_cast<unsigned long long>(n);
    }
    coded.clear();
    if (encoder.Finish(coded)) connection.SendAll(coded);
}

}  // namespace provider
