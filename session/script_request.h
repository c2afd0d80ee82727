// The frame shared by every request of the provider's script interface
// ("POST /a/s?sid=...&func=..."): the request line, the header lines in one
// of the two orders the operations use, the Cookie line and the XML body.
// Also the verdict of an answer, which every operation of the family reads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "session/exchange.h"
#include "session/session.h"
#include "session/xml_text.h"

namespace session {

// The two header orders of the family.
enum class HeaderOrder {
    // Accept, Host, Content-Length, Content-Type, User-Agent, Connection,
    // Cookie (the folder list, renames, folder deletion, the listing).
    Short,
    // Accept, Content-Type, Referer, Accept-Language, User-Agent, Host,
    // Content-Length, Connection, Cache-Control, Cookie (folder creation,
    // moves and message deletion).
    Long,
};

// Buffer capacities count a terminating zero, as the cells do: a buffer of
// N bytes holds at most N - 1 bytes of text.
constexpr std::size_t TextRoom(std::size_t bufferBytes) {
    return bufferBytes - 1;
}

// Builds the whole request for `function` (e.g. "mbox:listMessages") into a
// Request of `requestBuffer` bytes. The request is marked overflowed, and
// must not be sent, when the body does not fit `bodyBuffer` bytes or the
// whole request does not fit `requestBuffer` bytes.
Request ScriptRequest(const Session& session, std::string_view function, HeaderOrder order, const std::string& body,
                      std::size_t bodyBuffer, std::size_t requestBuffer);

// The provider's verdict in a script answer: Ok when the answer's own
// 'code' member (one of the outermost object) is 'S_OK'; Refused for any
// other code, which `refusalCode` then holds (it is emptied otherwise);
// Incomplete when the script text does not close; Unreadable when it holds
// no script object or no code.
Status ScriptVerdict(std::string_view body, std::string& refusalCode);

// Sends a request of the family and judges its answer with ScriptVerdict
// into session.refusalCode; `answer` keeps what came back. RequestTooLarge,
// unsent, when the request did not fit.
Status RunScript(Session& session, const Request& request, const ExchangeStyle& style, Answer& answer);

}  // namespace session
