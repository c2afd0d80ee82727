#include "imap/client.h"

#include "imap/transfer_coding.h"

namespace imap {
namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string FirstWord(const std::string& text) {
    return text.substr(0, text.find(' '));
}

// The command's verb, for messages: never its arguments (LOGIN carries the password).
std::string Verb(const Command& command) {
    const std::string& text = command.Pieces().front().text;
    std::string verb = FirstWord(text);
    if ((verb == "UID" || verb == "AUTHENTICATE") && text.size() > verb.size())
        verb += " " + FirstWord(text.substr(verb.size() + 1));
    return verb;
}

Outcome Refusal(const std::string& verb, const StatusResponse& end) {
    const std::string code = Upper(FirstWord(end.code));
    std::string detail = verb + ": " + (end.text.empty() ? end.status : end.text);
    if (code == "NONEXISTENT" || code == "TRYCREATE") return Failure(StoreCode::NotFound, detail);
    if (code == "TOOBIG" || code == "LIMIT") return Failure(StoreCode::TooLarge, detail);
    // A sign-in refused without a code is taken as a wrong password too;
    // UNAVAILABLE and the like say the server cannot check it now.
    const bool signingIn = verb == "LOGIN" || verb.rfind("AUTHENTICATE", 0) == 0;
    Outcome refusal = Failure(StoreCode::Refused, detail);
    if (code == "AUTHENTICATIONFAILED" || code == "AUTHORIZATIONFAILED" || (signingIn && code.empty()))
        refusal = Failure(StoreCode::SignInRefused, "the sign-in was refused: " + detail);
    refusal.refusal = code;
    return refusal;
}

}  // namespace

bool ParseNumber(const std::string& text, std::uint64_t limit, std::uint64_t& value) {
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value <= limit;
}

bool IsLoopback(const std::string& host) {
    return host == "localhost" || (net::IsIpv4Literal(host) && host.compare(0, 4, "127.") == 0);
}

bool ParseServerUrl(const std::string& url, ServerAddress& address, std::string& problem) {
    address = ServerAddress();
    std::string rest;
    if (url.compare(0, 8, "imaps://") == 0) {
        rest = url.substr(8);
    } else if (url.compare(0, 7, "imap://") == 0) {
        rest = url.substr(7);
        address.security = Security::StartTls;
        address.port = 143;
    } else {
        problem = "the server must be given as imaps://HOST:PORT or imap://HOST:PORT";
        return false;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    std::size_t colon = rest.find(':');
    address.host = rest.substr(0, colon);
    std::uint64_t port = address.port;
    if (colon != std::string::npos && !ParseNumber(rest.substr(colon + 1), 65535, port)) port = 0;
    address.port = static_cast<std::uint16_t>(port);
    bool hostOk = !address.host.empty();
    for (char c : address.host)
        hostOk = hostOk &&
                 ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-');
    if (hostOk && port != 0) return true;
    problem = "not a server address: " + url;
    return false;
}

std::string Quote(const std::string& text) {
    if (text.size() > 1000) return {};
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == '\0' || (c & 0x80)) return {};
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

Command& Command::Text(std::string text) {
    pieces_.push_back({Piece::Kind::Text, std::move(text), 0, {}});
    return *this;
}

Command& Command::String(const std::string& text) {
    std::string quoted = Quote(text);
    if (!quoted.empty()) return Text(" " + quoted);
    Text(" ");
    pieces_.push_back({Piece::Kind::Literal, text, text.size(), {}});
    return *this;
}

Command& Command::Stream(std::uint64_t size, std::function<Outcome(Connection&)> write) {
    Text(" ");
    pieces_.push_back({Piece::Kind::Stream, {}, size, std::move(write)});
    return *this;
}

Command& Command::Answer(std::string line) {
    pieces_.push_back({Piece::Kind::Answer, std::move(line), 0, {}});
    return *this;
}

Client::Client(int idleTimeoutMs) : idleMs_(idleTimeoutMs) {}

void Client::Close() {
    broken_ = true;
    if (connection_) connection_->Close();
}

Outcome Client::Fail(Outcome outcome, bool always) {
    switch (always ? StoreCode::Broken : outcome.code) {
    case StoreCode::TimedOut:
    case StoreCode::Broken:
    case StoreCode::Corrupt:
    case StoreCode::Unreachable:
    case StoreCode::Cancelled:
        if (!bye_.empty()) outcome.detail += " (it said: " + bye_ + ")";
        Close();
        break;
    default: break;
    }
    return outcome;
}

Outcome Client::Connect(const ServerAddress& address, const std::string& caFile) {
    host_ = address.host;
    bye_.clear();
    capabilities_.clear();
    connection_ = std::make_unique<Connection>(idleMs_);
    reader_ = std::make_unique<ResponseReader>(*connection_);
    const net::TlsPeer peer{address.host, caFile};
    Outcome outcome = connection_->Open(address.host, address.port);
    if (outcome.Ok() && address.security == Security::Tls) outcome = connection_->StartTls(peer);
    if (!outcome.Ok()) return outcome;

    broken_ = false;
    Token token;
    StatusResponse greeting;
    outcome = reader_->Next(token);
    if (outcome.Ok() && token.text == "*") outcome = reader_->Next(token);
    if (outcome.Ok()) {
        greeting.status = Upper(token.text);
        outcome = reader_->StatusTail(greeting.code, greeting.text);
    }
    if (!outcome.Ok()) return Fail(outcome);
    if (greeting.status != "OK" && greeting.status != "PREAUTH")
        return Fail(Failure(StoreCode::Unreachable, host_ + " turned the connection away: " + greeting.text));
    TakeCode(greeting.code);

    if (address.security == Security::Tls) return Success();
    if (capabilities_.empty() && !(outcome = Run(Command("CAPABILITY"))).Ok()) return outcome;
    if (!Has("STARTTLS")) {
        if (IsLoopback(address.host)) return Success();
        return Fail(Failure(StoreCode::Refused, host_ + " offers no STARTTLS: refusing to sign in without TLS"));
    }
    if (!(outcome = Run(Command("STARTTLS"))).Ok()) return outcome;
    // Anything the server sent before the handshake could be an injected answer.
    if (reader_->Buffered()) return Fail(Failure(StoreCode::Corrupt, host_ + " sent data before TLS began"));
    if (!(outcome = connection_->StartTls(peer)).Ok()) return Fail(outcome);
    capabilities_.clear();
    return Run(Command("CAPABILITY"));
}

Outcome Client::SignIn(const std::string& user, const std::string& password) {
    Outcome outcome;
    if (capabilities_.empty() && !(outcome = Run(Command("CAPABILITY"))).Ok()) return outcome;
    StatusResponse end;
    if (Has("AUTH=PLAIN")) {
        std::string response = Base64(std::string(1, '\0') + user + std::string(1, '\0') + password);
        outcome = Has("SASL-IR") ? Run(Command("AUTHENTICATE PLAIN " + response), {}, &end)
                                 : Run(Command("AUTHENTICATE PLAIN").Answer(response), {}, &end);
    } else if (Has("LOGINDISABLED")) {
        return Failure(StoreCode::Refused, host_ + " allows no sign-in on this connection");
    } else {
        outcome = Run(Command("LOGIN").String(user).String(password), {}, &end);
    }
    if (!outcome.Ok()) return outcome;
    if (FirstWord(Upper(end.code)) != "CAPABILITY") {
        capabilities_.clear();
        if (!(outcome = Run(Command("CAPABILITY"))).Ok()) return outcome;
    }
    // Some services refuse to open folders for a client that has not said who it is.
    outcome = Run(Command("ID (\"name\" \"Vantlo\" \"vendor\" \"Vantlo\" \"version\" \"1\")"));
    return outcome.code == StoreCode::Refused ? Success() : outcome;
}

void Client::TakeCode(const std::string& code) {
    std::string word = Upper(FirstWord(code));
    std::string rest = code.size() > word.size() ? code.substr(word.size() + 1) : "";
    if (word == "CAPABILITY") {
        capabilities_.clear();
        for (std::size_t at = 0; at < rest.size();) {
            std::size_t space = rest.find(' ', at);
            if (space == std::string::npos) space = rest.size();
            if (space > at) capabilities_.insert(Upper(rest.substr(at, space - at)));
            at = space + 1;
        }
    } else if (word == "UIDVALIDITY") {
        std::uint64_t value = 0;
        if (ParseNumber(rest, 0xffffffffu, value)) uidValidity_ = static_cast<std::uint32_t>(value);
    }
}

Outcome Client::Untag(const UntaggedHandler& handler) {
    Token token;
    Outcome outcome = reader_->Next(token);
    if (!outcome.Ok()) return outcome;
    Untagged head;
    if (token.kind == TokenKind::Atom && ParseNumber(token.text, ~std::uint64_t(0) >> 1, head.number)) {
        head.numbered = true;
        if (!(outcome = reader_->Next(token)).Ok()) return outcome;
    }
    if (token.kind != TokenKind::Atom) return Failure(StoreCode::Corrupt, host_ + " sent a garbled response");
    head.word = Upper(token.text);
    if (!head.numbered && (head.word == "OK" || head.word == "NO" || head.word == "BAD" || head.word == "BYE" ||
                           head.word == "PREAUTH")) {
        StatusResponse status;
        outcome = reader_->StatusTail(status.code, status.text);
        TakeCode(status.code);
        if (head.word == "BYE") bye_ = status.text;
        return outcome;
    }
    bool taken = false;
    if (handler && !(outcome = handler(head, *reader_, taken)).Ok()) return outcome;
    if (taken) return Success();
    if (head.numbered && head.word == "EXISTS") exists_ = head.number;
    if (head.numbered && head.word == "EXPUNGE" && exists_ > 0) --exists_;
    if (head.word != "CAPABILITY") return reader_->SkipLine();
    std::string list;
    if (!(outcome = reader_->RestOfLine(list)).Ok()) return outcome;
    TakeCode("CAPABILITY " + list);
    return Success();
}

Outcome Client::Wait(const std::string& tag, const UntaggedHandler& handler, StatusResponse& end, bool wantContinue,
                     bool& continued) {
    continued = false;
    for (;;) {
        Token token;
        Outcome outcome = reader_->Next(token);
        if (!outcome.Ok()) return outcome;
        if (token.kind == TokenKind::Atom && token.text == "*") {
            if (!(outcome = Untag(handler)).Ok()) return outcome;
            continue;
        }
        if (token.kind == TokenKind::Atom && token.text == "+" && wantContinue) {
            std::string ignored;
            continued = true;
            return reader_->RestOfLine(ignored);
        }
        if (token.kind != TokenKind::Atom || token.text != tag)
            return Failure(StoreCode::Corrupt, host_ + " sent an answer to a command it was not given");
        if (!(outcome = reader_->Next(token)).Ok()) return outcome;
        end.status = Upper(token.text);
        if (!(outcome = reader_->StatusTail(end.code, end.text)).Ok()) return outcome;
        TakeCode(end.code);
        return Success();
    }
}

Outcome Client::Run(const Command& command, const UntaggedHandler& handler, StatusResponse* endOut) {
    if (broken_ || !connection_) return Failure(StoreCode::Broken, "the connection to " + host_ + " is closed");
    const std::string tag = "V" + std::to_string(nextTag_++);
    StatusResponse end;
    std::string pending = tag + " ";
    bool continued = false;
    Outcome outcome;
    // Sends what is pending and, unless the server takes literals unasked, waits for its go-ahead.
    auto goAhead = [&](bool ask) {
        outcome = connection_->Send(pending);
        pending.clear();
        if (outcome.Ok() && ask) outcome = Wait(tag, handler, end, true, continued);
        return outcome.Ok() && (!ask || continued);
    };
    bool lineOpen = true;
    for (const Command::Piece& piece : command.Pieces()) {
        switch (piece.kind) {
        case Command::Piece::Kind::Text: pending += piece.text; break;
        case Command::Piece::Kind::Literal:
        case Command::Piece::Kind::Stream: {
            const bool plus = Has("LITERAL+") || (Has("LITERAL-") && piece.size <= 4096);
            pending += "{" + std::to_string(piece.size) + (plus ? "+}\r\n" : "}\r\n");
            if (!goAhead(!plus)) break;
            outcome =
                piece.kind == Command::Piece::Kind::Literal ? connection_->Send(piece.text) : piece.write(*connection_);
            break;
        }
        case Command::Piece::Kind::Answer:
            pending += "\r\n";
            if (goAhead(true)) outcome = connection_->Send(piece.text + "\r\n");
            lineOpen = false;
            break;
        }
        // A literal cut short leaves the conversation out of step: the connection ends.
        if (!outcome.Ok()) return Fail(outcome, true);
        if (!end.status.empty()) return Refusal(Verb(command), end);  // refused before a literal
    }
    if (lineOpen && !(outcome = connection_->Send(pending + "\r\n")).Ok()) return Fail(outcome);
    if (!(outcome = Wait(tag, handler, end, false, continued)).Ok()) return Fail(outcome);
    if (endOut) *endOut = end;
    if (end.status == "OK") return Success();
    return Refusal(Verb(command), end);
}

}  // namespace imap
