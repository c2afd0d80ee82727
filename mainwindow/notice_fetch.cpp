#include "mainwindow/notice_fetch.h"

#include "platform/text.h"

namespace mainwindow {

namespace {
constexpr std::size_t kNoticeRequestBytes = 1024;
constexpr wchar_t kByteOrderMark = 0xFEFF;
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

std::wstring NoticeTextFromBody(const std::string& body) {
    std::wstring text = platform::Utf8ToWide(body);
    if (!text.empty() && text[0] == kByteOrderMark) text.erase(0, 1);
    return text;
}

}  // namespace mainwindow
