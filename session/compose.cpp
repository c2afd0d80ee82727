// The two script-interface requests around an upload: opening a compose
// session and delivering the composed mail.
#include "platform/text.h"
#include "session/cells.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/keyword_scanner.h"
#include "session/script_request.h"
#include "session/upload.h"
#include "session/xml_text.h"

namespace session {

namespace {
constexpr std::size_t kComposeRequestBuffer = 1024;
// The delivery body holds a subject of up to 255 characters of any script
// (765 bytes of UTF-8, more once escaped) besides 783 bytes of fixed text;
// a stored file's delivery also its manifest, which names the file again.
constexpr std::size_t kDeliveryBodyBuffer = 8192;
constexpr std::size_t kDeliveryRequestBuffer = kDeliveryBodyBuffer + 1024;

const ExchangeStyle kComposeStyle{Style::Guarded, 6, Style::Guarded, 15, Style::Guarded, 9, AppendMode::Text};
const ExchangeStyle kDeliveryStyle{Style::Guarded, 16, Style::Guarded, 15, Style::Guarded, 9, AppendMode::Text};

// The header lines of both compose requests, in their order, and the body.
void ComposeRequest(const Session& session, const std::string& body, Request& request) {
    request << "POST /a/s?sid=" << CellText(session.sid) << "&func=mbox:compose HTTP/1.1\r\n";
    request.Line("Accept: text/javascript");
    request.Line("Content-Type: application/xml");
    request << "User-Agent: " << CellText(session.userAgent) << "\r\n";
    request << "Host: " << CellText(session.host) << "\r\n";
    request << "Content-Length: " << std::to_string(body.size()) << "\r\n";
    request.Line("Connection: keep-alive");
    request << CookieLine(session) << "\r\n";
    request << "\r\n" << body;
}

}  // namespace

Status GetComposeId(Session& session) {
    Request request(TextRoom(kComposeRequestBuffer));
    ComposeRequest(session, "<?xml version=\"1.0\"?><object/>", request);
    Answer answer;
    Status status = RunScript(session, request, kComposeStyle, answer);
    if (status != Status::Ok) return status;
    // A missing, cut or unusable id must not send the file to the previous
    // compose session.
    std::string id = FindVarValue(answer.Body());
    if (id.empty() || id.size() >= sizeof session.composeId || !IsPlainQueryValue(id)) return Status::Unreadable;
    SetCell(session.composeId, id);
    return Status::Ok;
}

namespace {
// What a delivery carries besides the compose session and the account.
struct Delivery {
    std::string subject;
    std::string content;
    std::string attachmentName;
    std::uint64_t size = 0;
};

Status Deliver(Session& session, const Delivery& delivery) {
    std::string composeId = XmlEscape(CellText(session.composeId));
    std::string account = XmlEscape(CellText(session.accountName));
    Request body(TextRoom(kDeliveryBodyBuffer));
    body << "<?xml version=\"1.0\"?><object><string name=\"action\">deliver</string><string name=\"id\">" << composeId
         << "</string><object name=\"attrs\"><string name=\"account\">" << account
         << "</string><array name=\"to\"><string>" << account
         << "</string></array><array name=\"cc\"/><array name=\"bcc\"/>"
         << "<string name=\"subject\">" << XmlEscape(delivery.subject) << "</string><string name=\"content\">"
         << XmlEscape(delivery.content) << "</string><boolean name=\"isHtml\">false</boolean>"
         << "<int name=\"priority\">3</int>"
         << "<boolean name=\"saveSentCopy\">false</boolean>"
         << "<boolean name=\"requestReadReceipt\">false</boolean>"
         << "<object name=\"attachments\">"
         << "<object name=\"0\"><int name=\"id\">1</int><string name=\"type\">upload</string>"
         << "<string name=\"name\">" << XmlEscape(delivery.attachmentName) << "</string>"
         << "<string name=\"contentType\">text/plain</string>"
         << "<int name=\"size\">" << std::to_string(delivery.size) << "</int></object></object>"
         << "<string name=\"charset\">gbk</string>"
         << "<string name=\"id\">" << composeId << "</string></object><int name=\"saveSentLimit\">1</int></object>";
    if (body.Overflowed()) return Status::RequestTooLarge;

    Request request(TextRoom(kDeliveryRequestBuffer));
    ComposeRequest(session, body.Text(), request);
    Answer answer;
    // A refused delivery is reported now rather than found missing later.
    return RunScript(session, request, kDeliveryStyle, answer);
}
}  // namespace

Status DeliverFile(Session& session, const std::string& subjectUtf8, const std::string& text,
                   const std::string& attachmentName, std::uint64_t size) {
    if (!platform::IsCleanText(subjectUtf8) || !platform::IsCleanText(attachmentName)) return Status::BadName;
    Delivery delivery;
    delivery.subject = subjectUtf8;
    delivery.content = text;
    delivery.attachmentName = attachmentName;
    delivery.size = size;
    return Deliver(session, delivery);
}

}  // namespace session
