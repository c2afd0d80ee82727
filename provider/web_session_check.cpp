// The check that every webmail-host request passes before it is served.
#include "roles.h"
#include "session_registry.h"
#include "url_codec.h"

namespace provider {

std::optional<std::string> WebSessionAccount(ServerContext& context, const HttpRequest& request) {
    FieldList query = ParseQuery(request.query);
    const std::string* sid = FindField(query, "sid");
    if (sid == nullptr || sid->empty()) return std::nullopt;
    FieldList cookies = ParseCookies(request.JoinedHeader("Cookie"));
    const std::string* coremail = FindField(cookies, "Coremail");
    if (coremail == nullptr) return std::nullopt;
    return context.sessions.AccountOfWebSession(*sid, *coremail);
}

}  // namespace provider
