#include "session/provider_directory.h"

#include <cstdlib>

#include "session/cells.h"
#include "session/session.h"

namespace session {

namespace {
// The addresses are from the documentation range: the real deployment's
// table is configured at release time; tests and the demo always point the
// program at a local provider through the override.
const ProviderEntry kEntries[kEntryCount] = {
    {"mail163", "163.example", "entry.163.example", "192.0.2.11",
     "GET /coremail/fcg/ntesdoor2?lightweight=1&verifycookie=1&language=-1&style=-1&username=", "yourname@163.example"},
    {"mail126", "126.example", "entry.126.example", "192.0.2.12",
     "GET /cgi/ntesdoor?hid=10010102&lightweight=1&verifycookie=1&language=0&style=-1&username=",
     "yourname@126.example"},
    {"mailyeah", "yeah.example", "entry.yeah.example", "192.0.2.13",
     "GET /cgi/ntesdoor?hid=10010102&lightweight=1&verifycookie=1&language=0&style=-1&username=",
     "yourname@yeah.example"},
};

bool EqualNoCase(const std::string& a, const char* b) {
    std::size_t n = a.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (b[i] == '\0') return false;
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return b[n] == '\0';
}

std::string OverrideText(const Session& session) {
    if (!session.providerOverride.empty()) return session.providerOverride;
    const char* env = std::getenv("VANTLO_PROVIDER");
    return env ? env : "";
}

std::uint16_t DefaultPort(Scheme scheme) {
    return scheme == Scheme::Https ? kHttpsPort : kHttpPort;
}
}  // namespace

std::string CaFile(const Session& session) {
    if (!session.caFile.empty()) return session.caFile;
    const char* env = std::getenv("VANTLO_CA_FILE");
    return env ? env : "";
}

const char kSignInHost[] = "reg.163.example";
const char kSignInAddress[] = "192.0.2.10";
const char kNoticeHost[] = "notice.vantlo.example";
const std::array<const char*, 12> kNoticeAddresses = {"192.0.2.20", "192.0.2.21", "192.0.2.22", "192.0.2.23",
                                                      "192.0.2.24", "192.0.2.25", "192.0.2.26", "192.0.2.27",
                                                      "192.0.2.28", "192.0.2.29", "192.0.2.30", "192.0.2.31"};
const char kForumPage[] = "http://forum.vantlo.example/";

const ProviderEntry* EntryByNumber(int entry) {
    if (entry < 1 || entry > kEntryCount) return nullptr;
    return &kEntries[entry - 1];
}

int EntryForAccount(const std::string& account) {
    std::size_t at = account.find('@');
    if (at == std::string::npos) return 0;
    std::string domain = account.substr(at + 1, 63);
    // The later entries are tested first, as the sign-in window always has.
    for (int entry = kEntryCount; entry >= 1; --entry)
        if (EqualNoCase(domain, kEntries[entry - 1].domain)) return entry;
    return 0;
}

bool ParseHostPort(const std::string& text, std::string& host, std::uint16_t& port) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
    unsigned long value = 0;
    for (std::size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned long>(text[i] - '0');
        if (value > 65535) return false;
    }
    if (value == 0) return false;
    host = text.substr(0, colon);
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool ParseProviderOverride(const std::string& text, Scheme& scheme, std::string& host, std::uint16_t& port) {
    const std::string https = "https://", http = "http://";
    std::size_t skip = 0;
    scheme = Scheme::Http;
    if (text.compare(0, https.size(), https) == 0) {
        scheme = Scheme::Https;
        skip = https.size();
    } else if (text.compare(0, http.size(), http) == 0) {
        skip = http.size();
    }
    return ParseHostPort(text.substr(skip), host, port) && host.find('/') == std::string::npos;
}

const char* SchemeName(Scheme scheme) {
    return scheme == Scheme::Https ? "https" : "http";
}

Endpoint FixedEndpoint(const Session& session, const char* hostName, const char* address, Scheme scheme) {
    // Without the override the certificate must name the server as the
    // table does; with it, as the override does.
    Endpoint endpoint{hostName, address, DefaultPort(scheme), scheme, hostName, CaFile(session)};
    std::string host;
    std::uint16_t port = 0;
    if (ParseProviderOverride(OverrideText(session), scheme, host, port)) {
        endpoint.dialHost = endpoint.certificateName = host;
        endpoint.port = port;
        endpoint.scheme = scheme;
    }
    return endpoint;
}

Endpoint WebmailEndpoint(const Session& session) {
    std::string text(CellText(session.host));
    Endpoint endpoint{text, text, DefaultPort(session.hostScheme), session.hostScheme, text, CaFile(session)};
    std::string host;
    std::uint16_t port = 0;
    if (ParseHostPort(text, host, port)) {
        endpoint.dialHost = endpoint.certificateName = host;
        endpoint.port = port;
    }
    return endpoint;
}

}  // namespace session
