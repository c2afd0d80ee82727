#include "session/signin.h"

#include "session/cells.h"
#include "session/exchange.h"
#include "session/http_head.h"
#include "session/provider_directory.h"

namespace session {

namespace {
// The form holds the account twice and the password, each possibly
// percent-encoded to three times its length, besides 64 bytes of fixed text
// and a domain: 2 * 3 * 63 + 3 * 64 + 64 + 32 = 666 bytes. The requests add
// at most 420 bytes of lines (the entry request's NTES_SESS piece among
// them). Buffers of 1024 and 2048 bytes hold a terminated text.
constexpr std::size_t kRequestCapacity = 2048 - 1;
constexpr std::size_t kFormCapacity = 1024 - 1;
constexpr std::size_t kHeaderCopy = 1024;
constexpr std::size_t kSidOffset = 23;  // "Coremail=" and 14 characters of the value
constexpr std::size_t kSidLength = 32;

// The sign-in answers are read byte for byte, with blocking waits.
const ExchangeStyle kPlainBytes{Style::Plain, 0, Style::Plain, 0, Style::Plain, 0, AppendMode::Bytes};

// The header of an answer as the sign-in reads it: at most 1023 bytes;
// false when the header does not fit or there is none.
bool HeaderCopy(std::string_view text, std::string_view& header) {
    std::size_t end = text.find("\r\n\r\n");
    if (end == std::string_view::npos || end >= kHeaderCopy) return false;
    header = text.substr(0, end);
    return true;
}

// The piece that starts at the first `name` and runs through the next ";".
bool CookiePiece(std::string_view header, std::string_view name, std::string_view& piece) {
    std::size_t start = header.find(name);
    if (start == std::string_view::npos) return false;
    std::size_t end = header.find(';', start);
    if (end == std::string_view::npos) return false;
    piece = header.substr(start, end - start + 1);
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

template <std::size_t N>
bool StorePiece(char (&cell)[N], std::string_view value) {
    if (value.size() >= N) return false;
    SetCell(cell, value);
    return true;
}

}  // namespace

Status ReadSignInAnswer(Session& session, std::string_view answer) {
    std::string_view header;
    if (!HeaderCopy(answer, header)) return Status::Unreadable;
    std::string_view ntes, sInfo, pInfo;
    if (header.find("NTES_SESS") == std::string_view::npos) {
        // Only a proper answer without the session cookie is a refusal; a
        // server error or text that is not HTTP says nothing about the password.
        int code = StatusCode(header);
        return code >= 200 && code < 500 ? Status::SignInRefused : Status::Unreadable;
    }
    if (!CookiePiece(header, "NTES_SESS", ntes) || !CookiePiece(header, "S_INFO", sInfo) ||
        !CookiePiece(header, "P_INFO", pInfo))
        return Status::Unreadable;
    if (!StorePiece(session.ntesSessCookie, ntes) || !StorePiece(session.sInfoCookie, sInfo) ||
        !StorePiece(session.pInfoCookie, pInfo))
        return Status::Unreadable;
    std::size_t equals = pInfo.find('=');
    std::size_t bar = pInfo.find('|', equals == std::string_view::npos ? 0 : equals);
    if (equals == std::string_view::npos || bar == std::string_view::npos) return Status::Unreadable;
    if (!StorePiece(session.accountName, pInfo.substr(equals + 1, bar - equals - 1))) return Status::Unreadable;
    return Status::Ok;
}

Status ReadEntryAnswer(Session& session, std::string_view answer) {
    std::string_view header;
    if (!HeaderCopy(answer, header)) return Status::Unreadable;
    std::string_view coremail;
    if (!CookiePiece(header, "Coremail", coremail)) return Status::Unreadable;
    // The piece must hold the whole session id before its closing ";".
    if (coremail.size() < kSidOffset + kSidLength + 1) return Status::Unreadable;
    std::size_t location = header.find("Location: ");
    if (location == std::string_view::npos) return Status::Unreadable;
    // The host follows whichever scheme prefix the redirect carries.
    std::size_t schemeStart = location + 10;  // after "Location: "
    Scheme scheme = Scheme::Http;
    std::size_t hostStart = 0;
    if (StartsWithNoCase(header.substr(schemeStart), "https://")) {
        scheme = Scheme::Https;
        hostStart = schemeStart + 8;
    } else if (StartsWithNoCase(header.substr(schemeStart), "http://")) {
        hostStart = schemeStart + 7;
    } else {
        return Status::Unreadable;
    }
    std::size_t lineEnd = header.find("\r\n", location);
    if (lineEnd == std::string_view::npos) lineEnd = header.size();
    std::size_t slash = header.find('/', hostStart);
    if (hostStart >= lineEnd || slash == std::string_view::npos || slash > lineEnd || slash == hostStart)
        return Status::Unreadable;
    std::string_view host = header.substr(hostStart, slash - hostStart);
    if (!StorePiece(session.coremailCookie, coremail)) return Status::Unreadable;
    if (!StorePiece(session.host, host)) return Status::Unreadable;
    session.hostScheme = scheme;
    SetCell(session.sid, coremail.substr(kSidOffset, kSidLength));
    return Status::Ok;
}

std::string FormEncode(const std::string& value) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : value) {
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '_' || c == '.' || c == '~' || c == '@';
        if (keep) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

std::string BuildSignInRequest(const Session& session, const std::string& account, int entry,
                               const std::string& password) {
    const ProviderEntry* e = EntryByNumber(entry);
    if (!e) return {};
    // The username carries the domain a second time; the provider expects it so.
    Request form(kFormCapacity);
    form << "url=&type=1&product=&username=" << FormEncode(account) << "@" << e->domain
         << "&user=" << FormEncode(account) << "&password=" << FormEncode(password);
    if (form.Overflowed()) return {};
    Request request(kRequestCapacity);
    Scheme entryScheme = FixedEndpoint(session, e->entryHost, e->entryAddress, kSignInScheme).scheme;
    request << "POST /logins.jsp?type=1&product=" << e->productCode << "&url=" << SchemeName(entryScheme) << "://"
            << e->entryHost
            << "/coremail/fcg/ntesdoor2?lightweight%3D1%26verifycookie%3D1%26language%3D-1%26style%3D-1 HTTP/1.1\r\n";
    request.Line("Accept: */*");
    request.Line("Content-Type: application/x-www-form-urlencoded");
    request << "Host: " << kSignInHost << "\r\n";
    request << "User-Agent: " << CellText(session.userAgent) << "\r\n";
    request << "Content-Length: " << std::to_string(form.Size()) << "\r\n";
    request.Line("Connection: close");
    request << "\r\n" << form.Text();
    return request.Overflowed() ? std::string() : request.Text();
}

std::string BuildEntryRequest(const Session& session, const std::string& account, int entry) {
    const ProviderEntry* e = EntryByNumber(entry);
    if (!e) return {};
    Request request(kRequestCapacity);
    request << e->requestStart << FormEncode(account) << " HTTP/1.1\r\n";
    request.Line("Accept: */*");
    request << "Host: " << e->entryHost << "\r\n";
    request << "User-Agent: " << CellText(session.userAgent) << "\r\n";
    request.Line("Connection: close");
    request << "Cookie: " << CellText(session.ntesSessCookie) << "\r\n";
    request << "\r\n";
    return request.Overflowed() ? std::string() : request.Text();
}

Status SignIn(Session& session, const std::string& account, int entry, const std::string& password) {
    const ProviderEntry* e = EntryByNumber(entry);
    if (!e) return Status::UnsupportedDomain;
    if (account.size() > kLongestAccount) return Status::AccountTooLong;
    if (password.size() > kLongestPassword) return Status::PasswordTooLong;
    if (password.empty()) return Status::PasswordEmpty;

    Request first(kRequestCapacity);
    first << BuildSignInRequest(session, account, entry, password);
    if (first.Size() == 0) return Status::Unreadable;
    Answer answer;
    Status status = Exchange(FixedEndpoint(session, kSignInHost, kSignInAddress, kSignInScheme), first, kPlainBytes,
                             session.limits, answer);
    if (status != Status::Ok) return status;
    Status result = ReadSignInAnswer(session, answer.Text());
    if (result != Status::Ok) return result;

    Request second(kRequestCapacity);
    second << BuildEntryRequest(session, account, entry);
    if (second.Size() == 0) return Status::Unreadable;
    Endpoint entryServer = FixedEndpoint(session, e->entryHost, e->entryAddress, kSignInScheme);
    status = Exchange(entryServer, second, kPlainBytes, session.limits, answer);
    if (status != Status::Ok) return status;
    result = ReadEntryAnswer(session, answer.Text());
    // A session opened over TLS is not handed to a plain-text webmail host.
    if (result == Status::Ok && entryServer.scheme == Scheme::Https && session.hostScheme != Scheme::Https)
        return Status::InsecureRedirect;
    return result;
}

}  // namespace session
