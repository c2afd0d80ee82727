// POST /a/p/upload.html?sid=SID&composeId=ID: a multipart form whose part
// "file1" is the file for the compose session. The part is streamed to a
// temporary file and put in place only when the whole form has come.
//
// The client asks for Connection: Keep-Alive and reads only the first
// piece of the answer, so the answer goes in one send, and the connection
// then stays open (for a bounded time) until the client closes it. A file
// beyond the attachment limit is refused with FA_OVERFLOW as soon as its
// bytes pass the limit.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "account_data.h"
#include "answer_shapes.h"
#include "multipart_reader.h"
#include "roles.h"
#include "store.h"
#include "url_codec.h"

namespace provider {

namespace {

// Writes the part named file1 to a file; drops every other part.
class UploadSink : public MultipartSink {
public:
    UploadSink(int file, std::int64_t limit) : file_(file), limit_(limit) {}

    bool OnPartBegin(const PartHead& head) override {
        inFile1_ = head.name == "file1" && !sawFile1_;
        if (inFile1_) sawFile1_ = true;
        return true;
    }
    bool OnPartData(const char* data, std::size_t size) override {
        if (!inFile1_) return true;
        if (size_ + static_cast<std::int64_t>(size) > limit_) {
            tooLarge_ = true;
            return false;
        }
        while (size > 0) {
            ssize_t n = ::write(file_, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                writeFailed_ = true;
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
            size_ += n;
        }
        return true;
    }
    bool OnPartEnd() override {
        inFile1_ = false;
        return true;
    }

    bool SawFile1() const { return sawFile1_; }
    bool TooLarge() const { return tooLarge_; }
    bool WriteFailed() const { return writeFailed_; }
    std::int64_t Size() const { return size_; }

private:
    int file_;
    std::int64_t limit_;
    bool inFile1_ = false;
    bool sawFile1_ = false;
    bool tooLarge_ = false;
    bool writeFailed_ = false;
    std::int64_t size_ = 0;
};

// Reads the body through the multipart reader into `sink`.
Fault StreamForm(BodyReader& body, const std::string& boundary, UploadSink& sink) {
    MultipartReader reader(boundary, sink);
    std::vector<char> piece(256 * 1024);
    while (body.Remaining() > 0) {
        std::size_t got = 0;
        if (body.Read(piece.data(), piece.size(), got) != IoResult::Ok) return Fault::InvalidParameter;  // broke off
        if (reader.Feed(piece.data(), got) != MultipartFault::None) {
            if (sink.TooLarge()) return Fault::Overflow;
            if (sink.WriteFailed()) return Fault::StorageFailed;
            return Fault::InvalidParameter;
        }
    }
    if (reader.Finish() != MultipartFault::None || !sink.SawFile1()) return Fault::InvalidParameter;
    return Fault::None;
}

Fault ReceiveUpload(ServerContext& context, const HttpRequest& request, BodyReader& body, std::int64_t& size) {
    std::optional<std::string> account = WebSessionAccount(context, request);
    if (!account) return Fault::InvalidSession;
    FieldList query = ParseQuery(request.query);
    const std::string* composeId = FindField(query, "composeId");
    if (composeId == nullptr) return Fault::InvalidParameter;
    const std::string* contentType = request.Header("Content-Type");
    std::optional<std::string> boundary = contentType != nullptr ? BoundaryFromContentType(*contentType) : std::nullopt;
    if (!boundary) return Fault::InvalidParameter;
    std::string temporary;
    Fault fault = context.store.UploadTarget(*account, *composeId, temporary);
    if (fault != Fault::None) return fault;

    UniqueFd file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!file) return Fault::StorageFailed;
    UploadSink sink(file.Get(), context.attachmentLimit);
    fault = StreamForm(body, *boundary, sink);
    if (fault == Fault::None && ::close(file.Release()) != 0) fault = Fault::StorageFailed;
    if (fault != Fault::None) {
        ::unlink(temporary.c_str());
        return fault;
    }
    size = sink.Size();
    return context.store.FinishUpload(*account, *composeId, temporary);
}

}  // namespace

void ServeUpload(ServerContext& context, const HttpRequest& request, BodyReader& body, Connection& connection) {
    std::int64_t size = 0;
    Fault fault = ReceiveUpload(context, request, body, size);
    std::string script;
    if (fault == Fault::None) {
        ScriptWriter writer(context.style);
        BeginOkAnswer(writer);
        writer.Key("var").BeginObject().Member("attachmentId", 1).Member("size", size).EndObject();
        EndAnswer(writer);
        script = writer.Result();
    } else {
        script = FaultAnswer(context.style, fault);
    }
    HttpAnswer answer = ScriptAnswer(std::move(script), "text/html; charset=utf-8");
    if (connection.SendAll(AnswerText(answer, context.coding, "Keep-Alive")) != IoResult::Ok) return;
    // Whatever of the body is left (after a refusal) is read and dropped
    // while waiting for the client to close.
    connection.Drain(body.Remaining() + 1024 * 1024, context.uploadCloseWaitMs);
}

}  // namespace provider
