// POST /logins.jsp: the central sign-in server. The form carries the
// account as typed ("user") and its password; a right pair gets the three
// cookie pieces NTES_SESS, S_INFO and P_INFO, a wrong one an answer
// without them.
#include "local_date.h"
#include "roles.h"
#include "session_registry.h"
#include "store.h"
#include "url_codec.h"

namespace provider {

namespace {

// The product code of the query ("mail163", ...) as it may stand in P_INFO.
std::string ProductOf(const FieldList& query, const FieldList& form) {
    const std::string* product = FindField(query, "product");
    if (product == nullptr || product->empty()) product = FindField(form, "product");
    std::string clean;
    if (product != nullptr)
        for (char c : *product)
            if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) clean.push_back(c);
    return clean.empty() ? "mail163" : clean.substr(0, 16);
}

}  // namespace

HttpAnswer SignInAnswer(ServerContext& context, const HttpRequest& request, const std::string& body) {
    FieldList form = ParseForm(body);
    const std::string* user = FindField(form, "user");
    const std::string* password = FindField(form, "password");
    if (user == nullptr || password == nullptr) return PlainAnswer(400, "the form lacks user or password\n");
    std::optional<std::string> account = context.store.Authenticate(*user, *password);
    if (!account) return PlainAnswer(403, "用户名或密码错误 (wrong account or password)\n");

    const std::string now = std::to_string(NowSeconds());
    const std::string product = ProductOf(ParseQuery(request.query), form);
    HttpAnswer answer;
    // Each piece ends with ";" right after its value; nothing else in the
    // head may hold the names NTES_SESS, S_INFO or P_INFO.
    answer.headers.emplace_back("Set-Cookie", "NTES_SESS=" + context.sessions.SignIn(*account) + "; Path=/; HttpOnly");
    answer.headers.emplace_back("Set-Cookie", "S_INFO=" + now + "|0|3&80##|" + product + "; Path=/");
    answer.headers.emplace_back("Set-Cookie", "P_INFO=" + *account + "|" + now + "|0|" + product +
                                                  "|00&99|null#0#null|&0||" + *account + "; Path=/");
    answer.headers.emplace_back("Content-Type", "text/html; charset=utf-8");
    answer.body = "<html><body>signed in</body></html>\n";
    return answer;
}

}  // namespace provider
