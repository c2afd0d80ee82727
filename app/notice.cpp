#include "app/notice.h"

#include <cwctype>

namespace app {

namespace {
constexpr std::size_t kNoticeRequestBytes = 1024;
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
}  // namespace

std::vector<session::Endpoint> NoticeEndpoints(const session::Session& session) {
    std::vector<session::Endpoint> endpoints;
    for (const char* address : session::kNoticeAddresses)
        endpoints.push_back(session::FixedEndpoint(session, session::kNoticeHost, address));
    return endpoints;
}

session::Request NoticeRequest(const std::string& hostLine) {
    session::Request request(kNoticeRequestBytes - 1);
    request.Line("GET /pubinfo/Vantlo HTTP/1.1")
        .Line("Accept: */*")
        .Line("Host: " + hostLine)
        .Line("Content-Type: application/xml")
        .Line("User-Agent: Vantlo 1.1.10")
        .Line("Connection: close")
        .Line("");
    return request;
}

session::Status FetchNotice(const std::vector<session::Endpoint>& endpoints, const session::ExchangeLimits& limits,
                            std::string& body) {
    body.clear();
    session::ExchangeStyle style;  // plain: blocking, each wait bounded by the limits
    style.append = session::AppendMode::Text;
    session::ExchangeLimits oneAttempt = limits;
    oneAttempt.connectAttempts = 1;  // a refusing address is left for the next one
    session::Answer answer;
    for (const session::Endpoint& endpoint : endpoints) {
        session::Status status =
            session::Exchange(endpoint, NoticeRequest(endpoint.hostLine), style, oneAttempt, answer);
        if (status == session::Status::ConnectFailed) continue;
        if (status != session::Status::Ok) return status;
        body.assign(answer.Body());
        return body.empty() ? session::Status::Refused : session::Status::Ok;
    }
    return session::Status::ConnectFailed;
}

std::optional<std::string> FetchNoticeText(const std::string& providerOverride) {
    session::Session addresses;  // only where the notice servers are, and the bounds
    addresses.providerOverride = providerOverride;
    std::string body;
    if (FetchNotice(NoticeEndpoints(addresses), addresses.limits, body) != session::Status::Ok) return std::nullopt;
    return NoticeTextFromBody(body);
}

std::string NoticeTextFromBody(const std::string& body) {
    if (body.compare(0, 3, kByteOrderMark) == 0) return body.substr(3);
    return body;
}

std::wstring BrowserPathFromCommand(const std::wstring& command) {
    if (!command.empty() && command[0] == L'"') {
        std::size_t close = command.find(L'"', 1);
        return command.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
    }
    return command.substr(0, command.find(L' '));
}

std::wstring BrowserCommandLine(const std::wstring& browserPath, const std::wstring& link) {
    static const wchar_t kPrefix[] = L"http://";
    if (link.size() < 7) return {};
    for (std::size_t i = 0; i < 7; ++i)
        if (static_cast<wchar_t>(std::towlower(link[i])) != kPrefix[i]) return {};
    std::wstring line = browserPath + L" " + link;
    return line.size() > kLinkChars ? std::wstring() : line;
}

}  // namespace app
