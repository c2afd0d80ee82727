// The notice text: one GET of "/pubinfo/Vantlo" to the first of the notice
// server's addresses that accepts a connection. Portable: it uses only the
// session's exchange and runs on a thread of its own.
#pragma once

#include <string>
#include <vector>

#include "session/exchange.h"
#include "session/provider_directory.h"
#include "session/status.h"

namespace mainwindow {

// The twelve notice server addresses in the order they are tried, after the
// provider override is applied.
std::vector<session::Endpoint> NoticeEndpoints(const session::Session& session);

// The request: GET /pubinfo/Vantlo with the notice server's Host line.
session::Request NoticeRequest(const std::string& hostLine);

// Tries the endpoints in order until one accepts the connection, and fetches
// the notice from that one only. On Ok, `body` holds the answer's body (the
// bytes after the first empty line). ConnectFailed when no endpoint
// accepted; Refused when the answer held no empty line or an empty body.
session::Status FetchNotice(const std::vector<session::Endpoint>& endpoints, const session::ExchangeLimits& limits,
                            std::string& body);

// The body as the pane shows it: UTF-8 to UTF-16, without a leading byte
// order mark.
std::wstring NoticeTextFromBody(const std::string& body);

}  // namespace mainwindow
