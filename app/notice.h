// The notice text: one GET of "/pubinfo/Vantlo" to the first of the notice
// server's addresses that accepts a connection. Portable: it uses only the
// session's exchange and runs on a thread of its own.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "session/exchange.h"
#include "session/provider_directory.h"
#include "session/status.h"

namespace app {

// The twelve notice server addresses in the order they are tried, after the
// provider override is applied.
std::vector<session::Endpoint> NoticeEndpoints(const session::Session& session);

// The request: GET /pubinfo/Vantlo with the notice server's Host line.
session::Request NoticeRequest(const std::string& hostLine);

// Tries the endpoints in order until one accepts the connection, and fetches
// the notice from that one only. On Ok, `body` holds the answer's body (the
// bytes after the first empty line). ConnectFailed when no endpoint
// accepted; Refused for an empty body; the exchange's own status for an
// answer it could not take whole (Incomplete when cut inside its header).
session::Status FetchNotice(const std::vector<session::Endpoint>& endpoints, const session::ExchangeLimits& limits,
                            std::string& body);

// The notice as the pane shows it, fetched from the notice servers (or the
// provider's address for tests and the demo, when not empty); nothing when
// the fetch failed.
std::optional<std::string> FetchNoticeText(const std::string& providerOverride);

// The body as the pane shows it: without a leading byte order mark.
std::string NoticeTextFromBody(const std::string& body);

// Opening a link of the notice: the browser's command line is built from
// the shell's "http\shell\open\command" value. Link and command line have
// 259 characters of room each.
constexpr std::size_t kLinkChars = 259;

// The browser's path in a shell command value: the text between the leading
// quote and the next one, else the text before the first space, else all of
// it. The value's own arguments are dropped.
std::wstring BrowserPathFromCommand(const std::wstring& command);

// "path link" for a link that begins with "http://" in any letter case;
// empty for any other link, or when the line would not fit its room (such
// a link is not opened rather than cut).
std::wstring BrowserCommandLine(const std::wstring& browserPath, const std::wstring& link);

}  // namespace app
