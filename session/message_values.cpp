#include "session/message_values.h"

#include "session/answer_rows.h"
#include "session/keyword_scanner.h"

namespace session {

namespace {

// Where a member stands: the keys of the objects around it, from the
// outermost (whose key is empty) inwards. An object inside an array takes
// the array's key.
using Path = std::vector<std::string>;

enum class Step { Open, Close, Member, Element };

// Calls visit(step, path, scanner) for every object opened or closed, for
// every member (an object or array member before its contents) and for
// every value standing alone in an array (Element: the path then ends with
// the array's key, as for an object in it); on Open the path already holds
// the new object, on Close it still does.
template <class Visit>
void Walk(std::string_view body, Visit visit) {
    KeywordScanner scanner(body, Escapes::Script);
    Path path;
    std::vector<std::string> arrays;  // per open object: its array member opened last
    std::string objectKey;
    bool objectPending = false;
    for (ScanEvent event = scanner.Next(); event != ScanEvent::End; event = scanner.Next()) {
        switch (event) {
        case ScanEvent::ObjectOpen:
            path.push_back(objectPending ? objectKey : arrays.empty() ? std::string() : arrays.back());
            arrays.emplace_back();
            objectPending = false;
            visit(Step::Open, path, scanner);
            break;
        case ScanEvent::ObjectClose:
            objectPending = false;
            if (path.empty()) break;
            visit(Step::Close, path, scanner);
            path.pop_back();
            arrays.pop_back();
            break;
        case ScanEvent::Member:
            objectPending = scanner.Kind() == ValueKind::Object;
            if (objectPending) objectKey = scanner.Key();
            if (!arrays.empty()) arrays.back() = scanner.Kind() == ValueKind::Array ? scanner.Key() : std::string();
            visit(Step::Member, path, scanner);
            break;
        case ScanEvent::Element:
            objectPending = false;
            path.push_back(arrays.empty() ? std::string() : arrays.back());
            visit(Step::Element, path, scanner);
            path.pop_back();
            break;
        default: objectPending = false; break;
        }
    }
}

bool At(const Path& path, std::initializer_list<const char*> keys) {
    if (path.size() != keys.size()) return false;
    std::size_t i = 0;
    for (const char* key : keys)
        if (path[i++] != key) return false;
    return true;
}

}  // namespace

bool ReadCount(std::string_view text, std::uint64_t& value) {
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

Status ReadMessagePageAnswer(std::string_view body, MessagePage& page) {
    page = MessagePage();
    bool varIsList = false;
    bool nameless = false;
    MessageSummary message;
    Walk(body, [&](Step step, const Path& path, const KeywordScanner& scanner) {
        const bool inMessage = At(path, {"", "var"}) && varIsList;
        if (step == Step::Element && inMessage) nameless = true;  // not a mail: the page is not one we know
        if (step == Step::Open && inMessage) message = MessageSummary();
        if (step == Step::Close && inMessage) {
            if (message.id.empty()) nameless = true;
            page.messages.push_back(std::move(message));
        }
        if (step != Step::Member) return;
        const std::string& key = scanner.Key();
        const std::string& value = scanner.Value();
        if (path.size() == 1) {
            if (key == "var") varIsList = scanner.Kind() == ValueKind::Array;
            if (key == "total") page.hasTotal = ReadCount(value, page.total);
        } else if (inMessage) {
            if (key == "id") message.id = value;
            if (key == "fid") message.folderId = value;
            if (key == "size" && !ReadCount(value, message.size)) message.size = 0;
            if (key == "subject") message.subject = value;
            if (key == "receivedDate") message.receivedDate = FixMonth(value);
            if (key == "sentDate") message.sentDate = FixMonth(value);
            if (key == "from") message.from = value;
            if (key == "summary") message.summary = value, message.hasSummary = true;
        } else if (At(path, {"", "var", "flags"}) && varIsList && (key == "attached" || key == "read")) {
            (key == "read" ? message.read : message.attached) = value == "true";
        }
    });
    return varIsList && !nameless ? Status::Ok : Status::Unreadable;
}

Status ReadMessageAnswer(std::string_view body, MessageContent& content) {
    content = MessageContent();
    bool varIsObject = false;
    AttachmentSummary attachment;
    Walk(body, [&](Step step, const Path& path, const KeywordScanner& scanner) {
        const bool inAttachment = At(path, {"", "var", "attachments"});
        if (step == Step::Member && path.size() == 1 && scanner.Key() == "var")
            varIsObject = scanner.Kind() == ValueKind::Object;
        if (step == Step::Open && inAttachment) attachment = AttachmentSummary();
        if (step == Step::Close && inAttachment) content.attachments.push_back(std::move(attachment));
        if (step != Step::Member) return;
        const std::string& key = scanner.Key();
        const std::string& value = scanner.Value();
        if (At(path, {"", "var"})) {
            if (key == "id") content.id = value;
            if (key == "subject") content.subject = value;
        } else if (At(path, {"", "var", "text"}) && key == "content") {
            content.text = value;
        } else if (inAttachment) {
            if (key == "id") attachment.id = value;
            if (key == "filename") attachment.filename = value;
            if (key == "contentLength" && !ReadCount(value, attachment.contentLength)) attachment.contentLength = 0;
        }
    });
    return varIsObject && !content.id.empty() ? Status::Ok : Status::Unreadable;
}

}  // namespace session
