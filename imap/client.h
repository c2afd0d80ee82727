// The IMAP conversation: the greeting, STARTTLS, sign-in, capabilities,
// tagged commands with their literals, and the untagged responses that
// arrive meanwhile. A command's own untagged responses go to a handler the
// caller gives; the client keeps the ones every command may bring
// (capabilities, EXISTS, UIDVALIDITY, BYE). After a broken connection,
// timeout or garbled answer the client is Broken and refuses further work.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "imap/connection.h"

namespace imap {

enum class Security {
    Tls,       // TLS from the first byte (imaps://)
    StartTls,  // plain greeting, then STARTTLS; plain on without it only towards loopback (imap://)
};

struct ServerAddress {
    std::string host;
    std::uint16_t port = 993;
    Security security = Security::Tls;
};

// "imaps://HOST[:PORT]" (993) or "imap://HOST[:PORT]" (143); false with a reason otherwise.
bool ParseServerUrl(const std::string& url, ServerAddress& address, std::string& problem);
bool IsLoopback(const std::string& host);

// A text as an IMAP string: an atom-safe quoted string, or "" when the
// text needs a literal (8-bit bytes, CR, LF, or long).
std::string Quote(const std::string& text);

// One command, built of pieces. Literals are sent as the server allows:
// at once with LITERAL+, else after its go-ahead.
class Command {
public:
    explicit Command(std::string text) { Text(std::move(text)); }
    Command& Text(std::string text);
    // The text quoted, or as a literal when quoting cannot carry it.
    Command& String(const std::string& text);
    // A literal of `size` bytes that `write` sends when the server is ready.
    Command& Stream(std::uint64_t size, std::function<Outcome(Connection&)> write);
    // A line sent after the server's "+" (a SASL response).
    Command& Answer(std::string line);

    struct Piece {
        enum class Kind { Text, Literal, Stream, Answer } kind;
        std::string text;
        std::uint64_t size = 0;
        std::function<Outcome(Connection&)> write;
    };
    const std::vector<Piece>& Pieces() const { return pieces_; }

private:
    std::vector<Piece> pieces_;
};

// The tagged end of a command, or an untagged status response.
struct StatusResponse {
    std::string status;  // OK, NO, BAD, BYE, PREAUTH (upper case)
    std::string code;    // inside the brackets, e.g. "APPENDUID 38505 3955"
    std::string text;
};

struct Untagged {
    std::string word;  // FETCH, SEARCH, LIST, STATUS... (upper case)
    bool numbered = false;
    std::uint64_t number = 0;  // "* 12 FETCH"
};

// Called for each untagged response of a command before the client looks
// at it. A handler that takes the response reads it through its line end
// and sets `taken`; otherwise it leaves the reader untouched.
using UntaggedHandler = std::function<Outcome(const Untagged&, ResponseReader&, bool& taken)>;

class Client {
public:
    explicit Client(int idleTimeoutMs);

    // Connects, secures the connection as the address says and reads the
    // greeting. Nothing of the account is sent before the check passed.
    Outcome Connect(const ServerAddress& address, const std::string& caFile);
    // AUTHENTICATE PLAIN where offered, else LOGIN; then ID.
    Outcome SignIn(const std::string& user, const std::string& password);

    // Sends the command and reads through its tagged response; a NO or BAD
    // is a failure carrying the server's text (the response in `end`).
    Outcome Run(const Command& command, const UntaggedHandler& handler, StatusResponse* end = nullptr);
    Outcome Run(const Command& command) { return Run(command, {}, nullptr); }

    bool Has(const std::string& capability) const { return capabilities_.count(capability) > 0; }
    bool Broken() const { return broken_; }
    // The UIDVALIDITY the last SELECT reported (0 when none).
    std::uint32_t UidValidity() const { return uidValidity_; }
    void ForgetUidValidity() { uidValidity_ = 0; }
    // Mails in the selected folder, as EXISTS and EXPUNGE responses tell.
    std::uint64_t Exists() const { return exists_; }
    void Close();

private:
    Outcome ReadResponse(const std::string& tag, const UntaggedHandler& handler, StatusResponse* tagged,
                         bool& continuation, bool& done);
    Outcome Untag(const UntaggedHandler& handler);
    Outcome Wait(const std::string& tag, const UntaggedHandler& handler, StatusResponse& end, bool wantContinue,
                 bool& continued);
    void TakeCode(const std::string& code);
    Outcome Fail(Outcome outcome, bool always = false);

    int idleMs_;
    std::unique_ptr<Connection> connection_;
    std::unique_ptr<ResponseReader> reader_;
    std::set<std::string> capabilities_;
    std::string host_;
    std::string bye_;
    std::uint32_t uidValidity_ = 0;
    std::uint64_t exists_ = 0;
    unsigned nextTag_ = 1;
    bool broken_ = true;
};

// The number in `text` ("12"), within `limit`; false for anything else.
bool ParseNumber(const std::string& text, std::uint64_t limit, std::uint64_t& value);

}  // namespace imap
