// GET /coremail/fcg/ntesdoor2 and GET /cgi/ntesdoor: the entry servers.
// They turn a valid NTES_SESS cookie into a webmail session: a Coremail
// cookie whose value holds the sid from its fifteenth character on, and a
// Location naming the webmail host, which is this provider itself.
#include "roles.h"
#include "session_registry.h"
#include "text_rules.h"
#include "url_codec.h"

namespace provider {

HttpAnswer EntryAnswer(ServerContext& context, const HttpRequest& request) {
    FieldList cookies = ParseCookies(request.JoinedHeader("Cookie"));
    const std::string* ntesSess = FindField(cookies, "NTES_SESS");
    std::optional<std::string> account;
    if (ntesSess != nullptr) account = context.sessions.AccountOfSignIn(*ntesSess);
    if (!account) return PlainAnswer(403, "not signed in: no valid NTES_SESS cookie\n");
    // The account named in the query must be the one that signed in.
    FieldList query = ParseQuery(request.query);
    const std::string* username = FindField(query, "username");
    if (username != nullptr && !EqualsIgnoringCase(*username, *account))
        return PlainAnswer(403, "the username is not the account that signed in\n");

    WebSession web = context.sessions.Enter(*account, context.style == AnswerStyle::Field);
    const std::string location = context.scheme + "://" + context.selfHost + "/coremail/index.jsp?sid=" + web.sid;
    HttpAnswer answer;
    answer.status = 302;
    // The cookie comes first: the client takes the first "Coremail" of the head.
    answer.headers.emplace_back("Set-Cookie", "Coremail=" + web.coremail + "; Path=/");
    answer.headers.emplace_back("Location", location);
    answer.headers.emplace_back("Content-Type", "text/html; charset=utf-8");
    answer.body = "<html><body><a href=\"" + location + "\">webmail</a></body></html>\n";
    return answer;
}

}  // namespace provider
