// UploadFileRange: a stretch of a file's bytes as a multipart form to the
// compose session's upload address, streamed from disk in chunks.
#include "session/upload.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <system_error>

#include "platform/text.h"
#include "session/cells.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/kept_connection.h"
#include "session/script_request.h"
#include "session/speed_guard.h"
#include "session/xml_text.h"

namespace session {

namespace {
// The header declares the boundary; each delimiter line of the body is
// "--" and the boundary. Every upload draws a boundary of its own.
constexpr std::size_t kBoundaryDashes = 27;
constexpr std::size_t kBoundaryDigits = 13;
constexpr std::size_t kHeadBuffer = 1024;
// The part head names the file; room for a long name besides the fixed text.
constexpr std::size_t kPartHeadCapacity = 4096;
constexpr std::size_t kChunk = 5120;
constexpr std::size_t kSendBuffer = 204800;  // 40 chunks
// Sends go out in slices so the low-speed bound is looked at in between.
constexpr std::size_t kSendSlice = 65536;
constexpr int kUploadWaitSeconds = 90;
constexpr int kAnswerWaitSeconds = 6;
constexpr int kBoundaryDraws = 4;

std::function<std::string()>& BoundarySource() {
    static std::function<std::string()> source;
    return source;
}

std::string RandomBoundary() {
    static std::mutex lock;
    static std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), static_cast<unsigned>(std::time(nullptr))};
        return std::mt19937_64(seed);
    }();
    static const char digits[] = "0123456789abcdef";
    std::string boundary(kBoundaryDashes, '-');
    std::lock_guard<std::mutex> hold(lock);
    for (std::size_t i = 0; i < kBoundaryDigits; ++i) boundary.push_back(digits[generator() & 15]);
    return boundary;
}

// A file name inside the quoted filename parameter: the quote that would
// end the parameter is percent-encoded, as browsers do.
std::string QuotedFileName(const std::string& utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '"')
            out += "%22";
        else
            out.push_back(c);
    }
    return out;
}

// The multipart pieces around the file's bytes, for one boundary.
struct Form {
    std::string boundary;
    std::string partHead;
    std::string tail;
};

Status BuildForm(const std::string& boundary, const std::string& name, Form& form) {
    const std::string delimiter = "--" + boundary;
    Request partHead(kPartHeadCapacity);
    partHead << delimiter << "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"" << QuotedFileName(name)
             << "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    if (partHead.Overflowed()) return Status::RequestTooLarge;
    form.boundary = boundary;
    form.partHead = partHead.Text();
    form.tail = "\r\n" + delimiter +
                "\r\nContent-Disposition: form-data; name=\"file2\"; filename=\"\"\r\n"
                "Content-Type: application/octet-stream\r\n\r\n"
                "\r\n" +
                delimiter + "--\r\n";
    return Status::Ok;
}

void UploadHead(const Session& session, const Form& form, std::uint64_t size, Request& head) {
    std::uint64_t contentLength = form.partHead.size() + size + form.tail.size();
    head << "POST /a/p/upload.html?sid=" << CellText(session.sid) << "&composeId=" << CellText(session.composeId)
         << " HTTP/1.1\r\n";
    head.Line("Accept: */*");
    head << "Host: " << CellText(session.host) << "\r\n";
    head << "Content-Length: " << std::to_string(contentLength) << "\r\n";
    head << "Content-Type: multipart/form-data; boundary=" << form.boundary << "\r\n";
    head << "User-Agent: " << CellText(session.userAgent) << "\r\n";
    head.Line("Connection: Keep-Alive");
    head << CookieLine(session) << "\r\n";
    head << "\r\n";
}

// Told of every partial send of the form; false cancels it.
using SendCounter = std::function<bool(std::size_t sent)>;

// The form as it goes out: every send is counted and checked against the
// low-speed bound.
class FormSender {
public:
    FormSender(Connection& connection, const SendCounter& counter, const ExchangeLimits& limits)
        : connection_(connection), counter_(counter), speed_(limits) {}

    Status Send(const char* data, std::size_t length) {
        bool cancelled = false;
        const std::function<void(std::size_t)> onSent = [&](std::size_t sent) {
            if (!counter_(sent)) cancelled = true;
        };
        for (std::size_t at = 0; at < length;) {
            std::size_t slice = length - at < kSendSlice ? length - at : kSendSlice;
            connection_.CapWaits(speed_.WaitLeftMs());
            Status status = connection_.SendAll(data + at, slice, Style::Guarded, kUploadWaitSeconds, onSent);
            connection_.CapWaits(0);
            if (status == Status::TimedOut && speed_.Broken()) return Status::TooSlow;
            if (status != Status::Ok) return status;
            if (cancelled) return Status::Cancelled;
            if (!speed_.Moved(slice)) return Status::TooSlow;
            at += slice;
        }
        return Status::Ok;
    }

private:
    Connection& connection_;
    const SendCounter& counter_;
    SpeedGuard speed_;
};

// Reads the file in chunks of one read each; a read that returns fewer
// than a whole chunk is the last (an exact multiple ends with an empty
// chunk). The chunks are gathered in the send buffer, which goes out
// whenever it cannot take another chunk and after the last one. Before it
// goes, the buffer (with the end of the one before) is searched for the
// boundary: BoundaryClash, with those bytes unsent, when the file holds it.
// A file that changes length meanwhile is a failure, since the announced
// Content-Length would no longer hold.
Status SendFileChunks(FormSender& sender, platform::ByteReader& file, std::uint64_t offset, std::uint64_t size,
                      const std::string& boundary) {
    auto buffer = std::make_unique<char[]>(kSendBuffer);
    const std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher(boundary.begin(), boundary.end());
    std::string seam;  // the last bytes sent and the first of the buffer
    std::size_t filled = 0;
    auto flush = [&]() -> Status {
        const char* begin = buffer.get();
        if (std::search(begin, begin + filled, searcher) != begin + filled) return Status::BoundaryClash;
        seam.append(begin, filled < boundary.size() ? filled : boundary.size());
        if (std::search(seam.begin(), seam.end(), searcher) != seam.end()) return Status::BoundaryClash;
        std::size_t keep = filled < boundary.size() ? filled : boundary.size();
        seam.assign(begin + filled - keep, keep);
        Status status = sender.Send(begin, filled);
        filled = 0;
        return status;
    };
    // The buffer is filled by one read each time (not chunk by chunk): the
    // same bytes go out in the same sends, with a fortieth of the reads.
    std::uint64_t remaining = size;
    for (;;) {
        if (filled + kChunk > kSendBuffer) {
            Status status = flush();
            if (status != Status::Ok) return status;
        }
        const std::size_t room = (kSendBuffer - filled) / kChunk * kChunk;
        const std::size_t want = remaining < room ? static_cast<std::size_t>(remaining) : room;
        if (want > 0 && !file.ReadAt(offset + (size - remaining), buffer.get() + filled, want))
            return Status::FileError;
        filled += want;
        remaining -= want;
        if (remaining == 0) return flush();
    }
}

// The provider's verdict on the upload: the code of its script answer, or,
// when the answer carries none, its status line.
Status UploadVerdict(const Answer& answer, std::string& refusalCode) {
    Status verdict = ScriptVerdict(answer.Body(), refusalCode);
    if (verdict != Status::Unreadable) return verdict;
    int code = StatusCode(answer.Header());
    return code >= 200 && code < 300 ? Status::Ok : Status::Refused;
}

// Sends the form in its four phases (head, part head, file, tail) and
// reads the answer: the connection was asked to stay open, so an answer
// without a length ends with its first piece.
Status PostForm(Session& session, const Request& head, const Form& form, platform::ByteReader& file,
                std::uint64_t offset, std::uint64_t size, const SendCounter& counter) {
    // On the connection the compose request left open, when it still is.
    const Endpoint endpoint = WebmailEndpoint(session);
    std::unique_ptr<Connection> taken = session.kept->Take(endpoint, session.limits);
    if (!taken) {
        taken = std::make_unique<Connection>(session.limits);
        Status opened = taken->Open(endpoint, Style::Guarded, kUploadWaitSeconds);
        if (opened != Status::Ok) return opened;
    }
    Connection& connection = *taken;
    FormSender sender(connection, counter, session.limits);
    Status status = sender.Send(head.Text().data(), head.Size());
    if (status == Status::Ok) status = sender.Send(form.partHead.data(), form.partHead.size());
    if (status == Status::Ok) status = SendFileChunks(sender, file, offset, size, form.boundary);
    if (status == Status::Ok) status = sender.Send(form.tail.data(), form.tail.size());
    if (status != Status::Ok) return status;

    Answer answer;
    session.refusalCode.clear();
    status = ReadAnswer(connection, Style::Guarded, kAnswerWaitSeconds, AppendMode::Text, session.limits, answer, true);
    if (status != Status::Ok) return status;
    return UploadVerdict(answer, session.refusalCode);
}

// The form of `name` fits the part head with any boundary; RequestTooLarge
// when it does not, before anything is sent.
Status CheckFormFits(const std::string& name) {
    Form form;
    return BuildForm(std::string(kBoundaryDashes + kBoundaryDigits, '-'), name, form);
}

// The bytes before the file's in a form of `name`: the request head and the
// part head (their sizes do not depend on the boundary drawn).
std::uint64_t UploadHeadBytes(const Session& session, const std::string& name, std::uint64_t size) {
    Form form;
    if (BuildForm(std::string(kBoundaryDashes + kBoundaryDigits, '-'), name, form) != Status::Ok) return 0;
    Request head(TextRoom(kHeadBuffer));
    UploadHead(session, form, size, head);
    return head.Size() + form.partHead.size();
}

// Posts `size` bytes of `file` from `offset` as the form's file named
// `name`, to the compose session the session holds. A file that holds the
// boundary would end the form early: the form starts over with a boundary
// drawn anew, and `counter` hears of it (restart true) before the first
// send of every attempt.
Status SendForm(Session& session, platform::ByteReader& file, std::uint64_t offset, std::uint64_t size,
                const std::string& name, const std::function<bool(bool restart, std::size_t sent)>& counter) {
    Status status = Status::BoundaryClash;
    const SendCounter count = [&](std::size_t sent) { return counter(false, sent); };
    for (int draw = 0; draw < kBoundaryDraws && status == Status::BoundaryClash; ++draw) {
        std::string boundary = BoundarySource() ? BoundarySource()() : RandomBoundary();
        Form form;
        status = BuildForm(boundary, name, form);
        if (status != Status::Ok) return status;
        status = Status::BoundaryClash;
        if (name.find(boundary) != std::string::npos) continue;
        Request head(TextRoom(kHeadBuffer));
        UploadHead(session, form, size, head);
        if (head.Overflowed()) return Status::RequestTooLarge;
        if (!counter(true, 0)) return Status::Cancelled;
        status = PostForm(session, head, form, file, offset, size, count);
    }
    return status;
}
}  // namespace

void SetUploadBoundarySource(std::function<std::string()> source) {
    BoundarySource() = std::move(source);
}

Status UploadFileRange(Session& session, const FileRange& range, const std::function<bool(std::uint64_t)>& sent) {
    session.refusalCode.clear();
    if (!platform::IsCleanText(range.name)) return Status::BadName;
    if (range.length > kLargestUpload) return Status::FileTooLarge;
    std::shared_ptr<platform::ByteReader> file = range.reader;
    if (!file) {
        std::error_code error;
        std::uint64_t size = std::filesystem::file_size(range.path, error);
        if (error || range.offset > size || range.length > size - range.offset) return Status::FileError;
        file = platform::OpenFileReader(range.path);
        if (!file) return Status::FileError;
    }
    Status status = CheckFormFits(range.name);
    if (status != Status::Ok) return status;
    status = GetComposeId(session);
    if (status != Status::Ok) return status;
    // Only the file's bytes count, not the form around them.
    std::uint64_t total = 0, reported = 0;
    const std::uint64_t before = UploadHeadBytes(session, range.name, range.length);
    return SendForm(session, *file, range.offset, range.length, range.name, [&](bool restart, std::size_t more) {
        total = restart ? 0 : total + more;
        std::uint64_t bytes = total < before ? 0 : std::min(total - before, range.length);
        if (!sent || bytes == reported) return true;
        reported = bytes;
        return sent(bytes);
    });
}

}  // namespace session
