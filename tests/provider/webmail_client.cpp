#include "webmail_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace providertest {

namespace {

const char kUserAgent[] = "Ostrel Mail Tools; Unix 7.2";

std::string Encode(const std::string& text) {
    std::string out;
    char escaped[4];
    for (unsigned char c : text) out.append(escaped, std::snprintf(escaped, sizeof escaped, "%%%02X", c));
    return out;
}

// The piece of a head that starts at `name=` and runs through the next ";".
std::string CookiePiece(const std::string& head, const std::string& name) {
    std::size_t start = head.find(name + "=");
    std::size_t end = head.find(';', start);
    return start == std::string::npos || end == std::string::npos ? std::string() : head.substr(start, end - start + 1);
}

bool Dechunk(const std::string& coded, std::string& out) {
    out.clear();
    for (std::size_t at = 0;;) {
        char* end = nullptr;
        const unsigned long size = std::strtoul(coded.c_str() + at, &end, 16);
        const std::size_t data = static_cast<std::size_t>(end - coded.c_str()) + 2;
        if (end == coded.c_str() + at || coded.compare(data - 2, 2, "\r\n") != 0 || coded.size() < data + size + 2 ||
            coded.compare(data + size, 2, "\r\n") != 0)
            return false;
        if (size == 0) return data + 2 == coded.size();
        out.append(coded, data, size);
        at = data + size + 2;
    }
}

bool Gunzip(const std::string& packed, std::string& out) {
    z_stream z{};
    char buffer[65536];
    int result = inflateInit2(&z, 15 + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    for (out.clear(); result == Z_OK; out.append(buffer, sizeof buffer - z.avail_out)) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
    }
    inflateEnd(&z);
    return result == Z_STREAM_END && z.avail_in == 0;
}

}  // namespace

std::string RawAnswer::Header(std::string_view name) const {
    std::size_t at = head.find("\r\n" + std::string(name) + ": ");
    if (at == std::string::npos) return std::string();
    at += name.size() + 4;
    return head.substr(at, head.find("\r\n", at) - at);
}

RawAnswer ParseAnswer(std::string raw) {
    RawAnswer answer;
    answer.raw = std::move(raw);
    std::size_t blank = answer.raw.find("\r\n\r\n");
    answer.head = answer.raw.substr(0, blank);
    if (blank != std::string::npos) answer.body = answer.raw.substr(blank + 4);
    if (answer.head.rfind("HTTP/1.", 0) == 0 && answer.head.size() >= 12)
        answer.status = std::atoi(answer.head.c_str() + 9);
    std::string plain;
    if (answer.Header("Transfer-Encoding") == "chunked") {
        answer.decoded = Dechunk(answer.body, plain);
        answer.body = plain;
    }
    if (answer.decoded && answer.Header("Content-Encoding") == "gzip") {
        answer.decoded = Gunzip(answer.body, plain);
        answer.body = plain;
    }
    return answer;
}

RawSocket::RawSocket(std::uint16_t port, const ClientTls* tls) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    timeval bound{10, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0)
        ::close(std::exchange(fd_, -1));
    if (fd_ < 0 || tls == nullptr) return;
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    SSL_CTX_load_verify_locations(context, tls->caFile.c_str(), nullptr);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    if (tls->maxVersion != 0) SSL_CTX_set_max_proto_version(context, tls->maxVersion);
    ssl_ = SSL_new(context);
    SSL_CTX_free(context);
    SSL_set_fd(ssl_, fd_);
    SSL_set1_host(ssl_, tls->host.c_str());
    if (SSL_connect(ssl_) != 1) {
        char text[256] = "";
        ERR_error_string_n(ERR_get_error(), text, sizeof text);
        tlsError_ = text;
        ::close(std::exchange(fd_, -1));
    }
}

RawSocket::~RawSocket() {
    if (ssl_ != nullptr) SSL_free(ssl_);
    if (fd_ >= 0) ::close(fd_);
}

bool RawSocket::Send(std::string_view bytes) {
    while (!bytes.empty() && fd_ >= 0) {
        long n = ssl_ != nullptr ? SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()))
                                 : ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return fd_ >= 0;
}

// Bytes read, 0 when the server closed, -1 on an error, -2 when `waitMs` passed.
long RawSocket::Receive(char* buffer, std::size_t size, int waitMs) {
    if (fd_ < 0) return -1;
    timeval bound{waitMs / 1000, (waitMs % 1000) * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    errno = 0;
    long n = ssl_ != nullptr ? SSL_read(ssl_, buffer, static_cast<int>(size)) : ::recv(fd_, buffer, size, 0);
    if (n >= 0 || (ssl_ != nullptr && SSL_get_error(ssl_, static_cast<int>(n)) == SSL_ERROR_ZERO_RETURN))
        return n < 0 ? 0 : n;
    return errno == EAGAIN || errno == EWOULDBLOCK ? -2 : -1;
}

std::string RawSocket::ReadSome(int waitMs) {
    char piece[65536];
    long n = Receive(piece, sizeof piece, waitMs);
    return n > 0 ? std::string(piece, static_cast<std::size_t>(n)) : std::string();
}

std::string RawSocket::ReadUntilClosed(int waitMs, bool* closed) {
    std::string data;
    std::vector<char> piece(1 << 20);
    long n;
    while ((n = Receive(piece.data(), piece.size(), waitMs)) > 0)
        data.append(piece.data(), static_cast<std::size_t>(n));
    if (closed != nullptr) *closed = n != -2;
    return data;
}

RawAnswer Exchange(std::uint16_t port, std::string_view request, int waitMs, const ClientTls* tls) {
    RawSocket socket(port, tls);
    if (!socket.Connected()) return RawAnswer();
    socket.Send(request);
    bool closed = false;
    RawAnswer answer = ParseAnswer(socket.ReadUntilClosed(waitMs, &closed));
    answer.connected = true;
    answer.closedByServer = closed;
    return answer;
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    for (char c : text) {
        const char* named = c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;" : nullptr;
        out += named != nullptr ? named : c == '\'' ? "&apos;" : std::string(1, c);
    }
    return out;
}

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[32];
    EVP_Digest(bytes.data(), bytes.size(), digest, nullptr, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned char byte : digest)
        hex += "0123456789abcdef"[byte >> 4] + std::string(1, "0123456789abcdef"[byte & 15]);
    return hex;
}

std::string WebmailClient::SignInRequest(const std::string& user, const std::string& password) {
    const std::string body = "url=&type=1&product=&user=" + Encode(user) + "&password=" + Encode(password);
    return "POST /logins.jsp?type=1&product=mail163&url=http://entry.163.example/coremail/fcg/ntesdoor2 HTTP/1.1\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

std::string WebmailClient::EntryRequest(const std::string& username, const std::string& cookie, bool secondDomain) {
    return std::string(secondDomain ? "GET /cgi/ntesdoor?hid=10010102" : "GET /coremail/fcg/ntesdoor2?lightweight=1") +
           "&username=" + Encode(username) + " HTTP/1.1\r\nConnection: close\r\nCookie: " + cookie + "\r\n\r\n";
}

bool WebmailClient::SignIn(const std::string& address, const std::string& password) {
    account_ = address;
    const std::string head = Send(SignInRequest(address, password)).head;
    const std::string ntes = CookiePiece(head, "NTES_SESS");
    entry_ = Send(EntryRequest(address, ntes));
    const std::string coremail = CookiePiece(entry_.head, "Coremail");
    const std::string location = entry_.Header("Location");
    const std::size_t hostStart = location.find("://") + 3;
    if (ntes.empty() || coremail.size() < 9 + 14 + 32 + 1 || hostStart < 3) return false;
    cookies_ = CookiePiece(head, "S_INFO") + CookiePiece(head, "P_INFO") + ntes + coremail;
    sid_ = coremail.substr(9 + 14, 32);
    host_ = location.substr(hostStart, location.find('/', hostStart) - hostStart);
    return true;
}

std::string WebmailClient::FunctionRequest(const std::string& func, const std::string& body, const std::string& sid,
                                           const std::string& cookieLine) const {
    return "POST /a/s?sid=" + sid + "&func=" + func + " HTTP/1.1\r\nAccept: text/javascript\r\nHost: " + host_ +
           "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: application/xml\r\nUser-Agent: " + kUserAgent + "\r\nConnection: close\r\n" + cookieLine +
           "\r\n\r\n" + body;
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
    return ParseScript(answer.body, value, error) ? value.Text("code") : std::string();
}

std::string WebmailClient::UploadRequest(const std::string& composeId, const std::string& bytes) const {
    const std::string delimiter = "-----------------------------7d95d2346050c";
    const std::string form = delimiter +
                             "\r\nContent-Disposition: form-data; name=\"file1\"; filename=\"C:\\Users\\demo\\f.bin\""
                             "\r\nContent-Type: application/octet-stream\r\n\r\n" +
                             bytes + "\r\n" + delimiter +
                             "\r\nContent-Disposition: form-data; name=\"file2\"; filename=\"\"\r\n"
                             "Content-Type: application/octet-stream\r\n\r\n\r\n" +
                             delimiter + "--\r\n";
    return "POST /a/p/upload.html?sid=" + sid_ + "&composeId=" + composeId + " HTTP/1.1\r\nHost: " + host_ +
           "\r\nContent-Length: " + std::to_string(form.size()) +
           "\r\nContent-Type: multipart/form-data; boundary=" + delimiter.substr(2) + "\r\nConnection: Keep-Alive\r\n" +
           CookieLine() + "\r\n\r\n" + form;
}

RawAnswer WebmailClient::Upload(const std::string& composeId, const std::string& bytes) const {
    RawSocket socket(port_, tls_);
    socket.Send(UploadRequest(composeId, bytes));
    return ParseAnswer(socket.ReadSome(10000));
}

RawAnswer WebmailClient::Deliver(const std::string& composeId, const std::string& subject, const std::string& to,
                                 const std::string& content, const std::string& name) const {
    return Call("mbox:compose",
                "<?xml version=\"1.0\"?><object><string name=\"action\">deliver</string><string name=\"id\">" +
                    composeId + "</string><object name=\"attrs\"><string name=\"account\">" + account_ +
                    "</string><array name=\"to\"><string>" + XmlEscape(to.empty() ? account_ : to) +
                    "</string></array><array name=\"cc\"/><array name=\"bcc\"/><string name=\"subject\">" +
                    XmlEscape(subject) + "</string><string name=\"content\">" + XmlEscape(content) +
                    "</string><boolean name=\"isHtml\">false</boolean><boolean name=\"saveSentCopy\">true</boolean>"
                    "<object name=\"attachments\"><object name=\"0\"><string name=\"name\">" +
                    XmlEscape(name.empty() ? "QWERTYUIOPASDFGHJKLZXCVBNm" : name) +
                    "</string></object></object></object></object>");
}

RawAnswer WebmailClient::Download(const std::string& messageId) const {
    return Send("GET /js3/read/readdata.jsp?sid=" + sid_ + "&mid=" + messageId +
                "&part=3&mode=inline&action=download_attach HTTP/1.1\r\nHost: " + host_ + "\r\nConnection: close\r\n" +
                CookieLine() + "\r\n\r\n");
}

RawAnswer WebmailClient::Source(const std::string& messageId) const {
    return Send("GET /js3/read/readdata.jsp?sid=" + sid_ + "&mid=" + messageId +
                "&mode=download&action=download_eml HTTP/1.1\r\nHost: " + host_ + "\r\nConnection: close\r\n" +
                CookieLine() + "\r\n\r\n");
}

std::string WebmailClient::StoreFile(const std::string* bytes, const std::string& subject, const std::string& content,
                                     const std::string& name) const {
    const std::string composeId = OpenCompose();
    if (composeId.empty() || (bytes != nullptr && CodeOf(Upload(composeId, *bytes)) != "S_OK")) return std::string();
    ScriptValue value;
    std::string error;
    return ParseScript(Deliver(composeId, subject, "", content, name).body, value, error) ? value.Text("var") : "";
}

ScriptValue WebmailClient::List(std::int64_t folderId, int start, int limit, bool returnTotal) const {
    return CallScript("mbox:listMessages",
                      "<?xml version=\"1.0\"?><object><int name=\"fid\">" + std::to_string(folderId) +
                          "</int><string name=\"order\">date</string><boolean name=\"desc\">true</boolean>"
                          "<int name=\"start\">" +
                          std::to_string(start) + "</int><int name=\"limit\">" + std::to_string(limit) + "</int>" +
                          (returnTotal ? "<boolean name=\"returnTotal\">true</boolean>" : "") + "</object>");
}

std::string WebmailClient::CreateFolder(const std::string& name) const {
    ScriptValue answer = CallScript("mbox:createUserFolders",
                                    "<object><array name=\"items\"><object><string "
                                    "name=\"name\">" +
                                        XmlEscape(name) + "</string></object></array></object>");
    return answer.Get("var") != nullptr ? std::to_string(answer.Get("var")->items.at(0).number) : answer.Text("code");
}

ScriptValue WebmailClient::Read(const std::string& messageId) const {
    ScriptValue answer = CallScript("mbox:readMessage", "<object><string name=\"id\">" + XmlEscape(messageId) +
                                                            "</string><string name=\"mode\">text</string></object>");
    return answer.Get("var") != nullptr ? *answer.Get("var") : ScriptValue();
}

RawAnswer WebmailClient::Move(const std::vector<std::string>& ids, std::int64_t folderId) const {
    std::string array;
    for (const std::string& id : ids) array += "<string>" + XmlEscape(id) + "</string>";
    return Call("mbox:updateMessageInfos", "<object><array name=\"ids\">" + array +
                                               "</array><object name=\"attrs\"><int name=\"fid\">" +
                                               std::to_string(folderId) + "</int></object></object>");
}

const ScriptValue* FolderById(const ScriptValue& answer, std::int64_t id) {
    const ScriptValue* var = answer.Get("var");
    for (std::size_t i = 0; var != nullptr && i < var->items.size(); ++i)
        if (var->items[i].Get("id") != nullptr && var->items[i].Get("id")->number == id) return &var->items[i];
    return nullptr;
}

long long Counter(const ScriptValue& folder, const char* name) {
    const ScriptValue* value = folder.Get(name);
    if (value == nullptr && folder.Get("stats") != nullptr) value = folder.Get("stats")->Get(name);
    return value != nullptr ? value->number : -1;
}

std::vector<std::string> MessageIds(const ScriptValue& answer) {
    std::vector<std::string> ids;
    const ScriptValue* var = answer.Get("var");
    for (std::size_t i = 0; var != nullptr && i < var->items.size(); ++i) ids.push_back(var->items[i].Text("id"));
    return ids;
}

}  // namespace providertest
