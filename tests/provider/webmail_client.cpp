#include "webmail_client.h"

#include <gtest/gtest.h>

namespace providertest {

const char kUploadDelimiter[] = "-----------------------------7d95d2346050c";
const char kUploadBoundary[] = "---------------------------7d95d2346050c";

namespace {

const char kUserAgent[] = "Ostrel Mail Tools; Unix 7.2";

std::string Encode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_';
        if (plain) {
            out.push_back(c);
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

// The piece of a head that starts at `name` and runs through the next ";".
std::string CookiePiece(const std::string& head, const std::string& name) {
    std::size_t start = head.find(name + "=");
    if (start == std::string::npos) return std::string();
    std::size_t end = head.find(';', start);
    return end == std::string::npos ? std::string() : head.substr(start, end - start + 1);
}

}  // namespace

std::string WebmailClient::SignInRequest(const std::string& user, const std::string& password) {
    std::string domain = user.substr(user.find('@') + 1);
    std::string body = "url=&type=1&product=&username=" + Encode(user + "@" + domain) + "&user=" + Encode(user) +
                       "&password=" + Encode(password);
    return "POST /logins.jsp?type=1&product=mail163&url=http://entry.163.example/coremail/fcg/"
           "ntesdoor2?lightweight%3D1%26verifycookie%3D1%26language%3D-1%26style%3D-1 HTTP/1.1\r\n"
           "Accept: */*\r\nContent-Type: application/x-www-form-urlencoded\r\nHost: signin.example\r\n"
           "User-Agent: " +
           std::string(kUserAgent) + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string WebmailClient::EntryRequest(const std::string& username, const std::string& cookie, bool secondDomain) {
    std::string start =
        secondDomain ? "GET /cgi/ntesdoor?hid=10010102&lightweight=1&verifycookie=1&language=0&style=-1&username="
                     : "GET /coremail/fcg/ntesdoor2?lightweight=1&verifycookie=1&language=-1&style=-1&username=";
    return start + Encode(username) + " HTTP/1.1\r\nAccept: */*\r\nHost: entry.example\r\nUser-Agent: " + kUserAgent +
           "\r\nConnection: close\r\nCookie: " + cookie + "\r\n\r\n";
}

bool WebmailClient::SignIn(const std::string& address, const std::string& password) {
    account = address;
    signIn_ = Exchange(port_, SignInRequest(address, password));
    ntesSess_ = CookiePiece(signIn_.head, "NTES_SESS");
    sInfo_ = CookiePiece(signIn_.head, "S_INFO");
    pInfo_ = CookiePiece(signIn_.head, "P_INFO");
    if (ntesSess_.empty()) return false;
    entry_ = Exchange(port_, EntryRequest(address, ntesSess_));
    coremail_ = CookiePiece(entry_.head, "Coremail");
    std::string location = entry_.Header("Location");
    if (coremail_.size() < 9 + 14 + 32 + 1 || location.rfind("http://", 0) != 0) return false;
    sid_ = coremail_.substr(9 + 14, 32);
    host_ = location.substr(7, location.find('/', 7) - 7);
    return true;
}

std::string WebmailClient::CookieLine() const {
    return "Cookie: " + sInfo_ + pInfo_ + ntesSess_ + coremail_;
}

std::string WebmailClient::FunctionRequest(const std::string& func, const std::string& body, const std::string& sid,
                                           const std::string& cookieLine) const {
    return "POST /a/s?sid=" + sid + "&func=" + func + " HTTP/1.1\r\nAccept: text/javascript\r\nHost: " + host_ +
           "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: application/xml\r\nUser-Agent: " + kUserAgent + "\r\nConnection: close\r\n" + cookieLine +
           "\r\n\r\n" + body;
}

RawAnswer WebmailClient::Call(const std::string& func, const std::string& body) const {
    return Exchange(port_, FunctionRequest(func, body, sid_, CookieLine()));
}

ScriptValue WebmailClient::CallScript(const std::string& func, const std::string& body) const {
    RawAnswer answer = Call(func, body);
    ScriptValue value;
    std::string error;
    EXPECT_TRUE(ParseScript(answer.body, value, error)) << func << ": " << error << "\n" << answer.body;
    return value;
}

std::string WebmailClient::CodeOf(const RawAnswer& answer) {
    ScriptValue value;
    std::string error;
    if (!ParseScript(answer.body, value, error)) return std::string();
    const ScriptValue* code = value.Get("code");
    return code != nullptr && code->kind == ScriptValue::Kind::Text ? code->text : std::string();
}

std::string WebmailClient::OpenCompose() const {
    ScriptValue answer = CallScript("mbox:compose", "<?xml version=\"1.0\"?><object/>");
    const ScriptValue* var = answer.Get("var");
    return var != nullptr && var->kind == ScriptValue::Kind::Text ? var->text : std::string();
}

std::string WebmailClient::UploadRequest(const std::string& composeId, const std::string& bytes,
                                         const std::string& path) const {
    std::string partHead = std::string(kUploadDelimiter) +
                           "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"" + path +
                           "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    std::string tail = std::string("\r\n") + kUploadDelimiter +
                       "\r\nContent-Disposition: form-data; name=\"file2\"; filename=\"\"\r\n"
                       "Content-Type: application/octet-stream\r\n\r\n\r\n" +
                       kUploadDelimiter + "--\r\n";
    std::string head = "POST /a/p/upload.html?sid=" + sid_ + "&composeId=" + composeId +
                       " HTTP/1.1\r\nAccept: */*\r\nHost: " + host_ +
                       "\r\nContent-Length: " + std::to_string(partHead.size() + bytes.size() + tail.size()) +
                       "\r\nContent-Type: multipart/form-data; boundary=" + kUploadBoundary +
                       "\r\nUser-Agent: " + kUserAgent + "\r\nConnection: Keep-Alive\r\n" + CookieLine() + "\r\n\r\n";
    return head + partHead + bytes + tail;
}

RawAnswer WebmailClient::Upload(const std::string& composeId, const std::string& bytes, const std::string& path) const {
    // Like the client: send everything, take the first piece, close.
    RawSocket socket(port_);
    socket.Send(UploadRequest(composeId, bytes, path));
    std::string first = socket.ReadSome(10000);
    RawAnswer answer = ParseAnswer(first);
    answer.connected = socket.Connected();
    return answer;
}

std::string WebmailClient::DeliverBody(const std::string& composeId, const std::string& account,
                                       const std::string& subject, std::int64_t size) {
    return "<?xml version=\"1.0\"?><object><string name=\"action\">deliver</string><string name=\"id\">" + composeId +
           "</string><object name=\"attrs\"><string name=\"account\">" + account +
           "</string><array name=\"to\"><string>" + account +
           "</string></array><array name=\"cc\"/><array name=\"bcc\"/><string name=\"subject\">" + XmlEscape(subject) +
           "</string><string name=\"content\">-----</string><boolean name=\"isHtml\">true</boolean>"
           "<int name=\"priority\">3</int><boolean name=\"saveSentCopy\">true</boolean>"
           "<boolean name=\"requestReadReceipt\">false</boolean><object name=\"attachments\">"
           "<object name=\"0\"><int name=\"id\">1</int><string name=\"type\">upload</string>"
           "<string name=\"name\">QWERTYUIOPASDFGHJKLZXCVBNm</string><string name=\"contentType\">text/plain</string>"
           "<int name=\"size\">" +
           std::to_string(size) + "</int></object></object><string name=\"charset\">gbk</string><string name=\"id\">" +
           composeId + "</string></object><int name=\"saveSentLimit\">1</int></object>";
}

RawAnswer WebmailClient::Deliver(const std::string& composeId, const std::string& subject, std::int64_t size,
                                 const std::string& to) const {
    std::string body = DeliverBody(composeId, account, subject, size);
    if (!to.empty()) {
        std::string from = "<array name=\"to\"><string>" + account + "</string>";
        body.replace(body.find(from), from.size(), "<array name=\"to\"><string>" + XmlEscape(to) + "</string>");
    }
    return Call("mbox:compose", body);
}

std::string WebmailClient::DownloadRequest(const std::string& messageId) const {
    return "GET /js3/read/readdata.jsp?sid=" + sid_ + "&mid=" + messageId +
           "&part=3&mode=inline&action=download_attach HTTP/1.1\r\nAccept: */*\r\nHost: " + host_ +
           "\r\nContent-Type: application/xml\r\nUser-Agent: " + kUserAgent + "\r\nConnection: close\r\n" +
           CookieLine() + "\r\n\r\n";
}

RawAnswer WebmailClient::Download(const std::string& messageId) const {
    return Exchange(port_, DownloadRequest(messageId));
}

std::string WebmailClient::StoreFile(const std::string& bytes, const std::string& subject) const {
    std::string composeId = OpenCompose();
    if (composeId.empty()) return std::string();
    if (CodeOf(Upload(composeId, bytes)) != "S_OK") return std::string();
    RawAnswer delivered = Deliver(composeId, subject, static_cast<std::int64_t>(bytes.size()));
    ScriptValue value;
    std::string error;
    if (!ParseScript(delivered.body, value, error)) return std::string();
    const ScriptValue* var = value.Get("var");
    return var != nullptr && var->kind == ScriptValue::Kind::Text ? var->text : std::string();
}

ScriptValue WebmailClient::Folders() const {
    return CallScript("mbox:getAllFolders",
                      "<?xml version=\"1.0\"?><object><boolean name=\"stats\">true</boolean>"
                      "<boolean name=\"threads\">true</boolean></object>");
}

ScriptValue WebmailClient::List(std::int64_t folderId, int start, int limit) const {
    return CallScript("mbox:listMessages", "<?xml version=\"1.0\"?><object><int name=\"fid\">" +
                                               std::to_string(folderId) +
                                               "</int><string name=\"order\">date</string><boolean "
                                               "name=\"desc\">true</boolean><int name=\"start\">" +
                                               std::to_string(start) + "</int><int name=\"limit\">" +
                                               std::to_string(limit) + "</int></object>");
}

std::string WebmailClient::CreateFolder(const std::string& name) const {
    ScriptValue answer = CallScript("mbox:createUserFolders",
                                    "<?xml version=\"1.0\"?><object><array name=\"items\"><object><string "
                                    "name=\"name\">" +
                                        XmlEscape(name) + "</string></object></array></object>\r\n");
    const ScriptValue* var = answer.Get("var");
    if (var != nullptr && var->kind == ScriptValue::Kind::Array && var->items.size() == 1)
        return std::to_string(var->items[0].number);
    const ScriptValue* code = answer.Get("code");
    return code != nullptr ? code->text : std::string("?");
}

RawAnswer WebmailClient::Move(const std::vector<std::string>& ids, std::int64_t folderId) const {
    std::string body = "<?xml version=\"1.0\"?><object><array name=\"ids\">";
    for (const std::string& id : ids) body += "<string>" + XmlEscape(id) + "</string>";
    body += "</array><object name=\"attrs\"><int name=\"fid\">" + std::to_string(folderId) + "</int></object></object>";
    return Call("mbox:updateMessageInfos", body);
}

RawAnswer WebmailClient::DeleteMessages(const std::vector<std::string>& ids) const {
    std::string body = "<?xml version=\"1.0\"?><object><array name=\"ids\">";
    for (const std::string& id : ids) body += "<string>" + XmlEscape(id) + "</string>";
    body += "</array></object>";
    return Call("mbox:deleteMessages", body);
}

const ScriptValue* FolderById(const ScriptValue& answer, std::int64_t id) {
    const ScriptValue* var = answer.Get("var");
    if (var == nullptr) return nullptr;
    for (const ScriptValue& folder : var->items) {
        const ScriptValue* folderId = folder.Get("id");
        if (folderId != nullptr && folderId->number == id) return &folder;
    }
    return nullptr;
}

long long Counter(const ScriptValue& folder, const char* name) {
    const ScriptValue* value = folder.Get(name);
    if (value == nullptr) {
        const ScriptValue* stats = folder.Get("stats");
        if (stats != nullptr) value = stats->Get(name);
    }
    return value != nullptr ? value->number : -1;
}

std::vector<std::string> MessageIds(const ScriptValue& answer) {
    std::vector<std::string> ids;
    const ScriptValue* var = answer.Get("var");
    if (var == nullptr) return ids;
    for (const ScriptValue& message : var->items) {
        const ScriptValue* id = message.Get("id");
        ids.push_back(id != nullptr ? id->text : std::string());
    }
    return ids;
}

}  // namespace providertest
