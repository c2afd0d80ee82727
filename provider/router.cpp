#include "router.h"

#include <cstring>

#include "connection_log.h"
#include "request_reader.h"
#include "roles.h"
#include "text_rules.h"

namespace provider {

namespace {

enum class Role { SignIn, Entry, Webmail, Upload, Download, Notice };

struct Route {
    const char* path;
    const char* method;
    Role role;
};

const Route kRoutes[] = {
    {"/logins.jsp", "POST", Role::SignIn},      {"/coremail/fcg/ntesdoor2", "GET", Role::Entry},
    {"/cgi/ntesdoor", "GET", Role::Entry},      {"/a/s", "POST", Role::Webmail},
    {"/a/p/upload.html", "POST", Role::Upload}, {"/js3/read/readdata.jsp", "GET", Role::Download},
    {"/pubinfo/Vantlo", "GET", Role::Notice},
};

const Route* FindRoute(const std::string& path) {
    for (const Route& route : kRoutes)
        if (path == route.path) return &route;
    return nullptr;
}

// Whether the client asked to keep the connection for its next request:
// HTTP/1.1 unless it says close, HTTP/1.0 only when it says keep-alive.
bool WantsKept(const HttpRequest& request) {
    const std::string* connection = request.Header("Connection");
    if (request.version == "HTTP/1.1") return connection == nullptr || !EqualsIgnoringCase(*connection, "close");
    return connection != nullptr && EqualsIgnoringCase(*connection, "keep-alive");
}

// Sends a whole answer, then lets the peer see the end of it and close.
void Finish(Connection& connection, const HttpAnswer& answer, unsigned long long unreadBody = 0,
            AnswerCoding coding = AnswerCoding::Plain) {
    if (connection.SendAll(AnswerText(answer, coding)) != IoResult::Ok) return;
    connection.ShutdownSend();
    connection.Drain(unreadBody + 64 * 1024, 2000);
}

void Refuse(Connection& connection, int status, const char* text, unsigned long long unreadBody = 0) {
    Finish(connection, PlainAnswer(status, std::string(text) + "\n"), unreadBody);
}

HttpAnswer WholeBodyAnswer(ServerContext& context, Role role, const HttpRequest& request, const std::string& body) {
    switch (role) {
    case Role::SignIn: return SignInAnswer(context, request, body);
    case Role::Entry: return EntryAnswer(context, request);
    case Role::Webmail: return WebmailAnswer(context, request, body);
    case Role::Notice: return NoticeAnswer(context);
    case Role::Upload:
    case Role::Download: break;
    }
    return PlainAnswer(500, "no such role\n");
}

// Serves one request; true when the connection stays open for the next.
// Only whole answers with a length leave it open: downloads end with the
// close, and an upload's client closes once it has read the answer.
bool ServeRequest(ServerContext& context, Connection& connection, std::uint64_t logId) {
    HttpRequest request;
    std::string rest, head;
    const HeadOutcome outcome = ReadRequestHead(connection, context.idleTimeoutMs, request, rest, &head);
    if (context.log != nullptr && !head.empty()) context.log->Head(logId, head);
    switch (outcome) {
    case HeadOutcome::Ok: break;
    case HeadOutcome::Closed: return false;
    case HeadOutcome::TimedOut: return Refuse(connection, 408, "the request did not come in time"), false;
    case HeadOutcome::TooLarge: return Refuse(connection, 431, "the request head is too large"), false;
    case HeadOutcome::Malformed: return Refuse(connection, 400, "malformed request"), false;
    }

    const Route* route = FindRoute(request.path);
    if (route == nullptr) return Refuse(connection, 404, "no such path"), false;
    std::uint64_t length = 0;
    switch (ReadBodyLength(request, length)) {
    case BodyLength::Invalid: return Refuse(connection, 400, "bad Content-Length"), false;
    case BodyLength::Unsupported: return Refuse(connection, 501, "Transfer-Encoding is not supported"), false;
    case BodyLength::None:
        if (std::strcmp(route->method, "POST") == 0 && request.method == "POST")
            return Refuse(connection, 411, "Content-Length is required"), false;
        break;
    case BodyLength::Known: break;
    }
    if (request.method != route->method) {
        HttpAnswer answer = PlainAnswer(405, "method not allowed\n");
        answer.headers.emplace_back("Allow", route->method);
        return Finish(connection, answer, length), false;
    }
    const unsigned long long limit = route->role == Role::Upload ? kMaxUploadBodyBytes : kMaxBodyBytes;
    if (length > limit) return Refuse(connection, 413, "the body is too large", length), false;

    const std::string* expect = request.Header("Expect");
    if (expect != nullptr && EqualsIgnoringCase(*expect, "100-continue") && length > 0)
        if (connection.SendAll("HTTP/1.1 100 Continue\r\n\r\n") != IoResult::Ok) return false;

    BodyReader body(connection, std::move(rest), length);
    if (route->role == Role::Upload) return ServeUpload(context, request, body, connection), false;
    std::string whole;
    if (body.ReadAll(whole) != IoResult::Ok) return Refuse(connection, 400, "the body ended early"), false;
    if (route->role == Role::Download) {
        ServeDownload(context, request, connection);
        connection.ShutdownSend();
        connection.Drain(64 * 1024, 2000);
        return false;
    }
    const HttpAnswer answer = WholeBodyAnswer(context, route->role, request, whole);
    if (!WantsKept(request)) return Finish(connection, answer, 0, context.coding), false;
    return connection.SendAll(AnswerText(answer, context.coding, "keep-alive")) == IoResult::Ok;
}

}  // namespace

void ServeConnection(ServerContext& context, Connection& connection, std::uint64_t logId) {
    while (ServeRequest(context, connection, logId)) {
    }
}

}  // namespace provider
