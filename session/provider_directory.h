// The provider's fixed endpoints: account domains, the sign-in server, one
// entry server per domain, the notice servers and the forum page. One table
// in one place. The sign-in and entry servers speak https on 443, the
// notice servers plain http on 80. VANTLO_PROVIDER=HOST:PORT or
// https://HOST:PORT (or Session::providerOverride) replaces every fixed
// address and scheme with that one; host names stay as they are in the
// Host lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "session/session.h"

namespace session {

struct ProviderEntry {
    const char* productCode;
    const char* domain;
    const char* entryHost;
    const char* entryAddress;  // dotted quad
    const char* requestStart;  // the entry server's request line up to the account
    const char* exampleAddress;
};

constexpr int kEntryCount = 3;
// Entries are numbered 1 to 3; other numbers yield nullptr.
const ProviderEntry* EntryByNumber(int entry);

extern const char kSignInHost[];
extern const char kSignInAddress[];
extern const char kNoticeHost[];
extern const std::array<const char*, 12> kNoticeAddresses;
extern const char kForumPage[];
constexpr std::uint16_t kHttpPort = 80;
constexpr std::uint16_t kHttpsPort = 443;
// The sign-in and entry servers carry the password and the session: TLS.
constexpr Scheme kSignInScheme = Scheme::Https;

// Entry number (1..3) for an account text: the domain is what follows the
// first "@", compared without regard to case; 0 when it is not supported.
int EntryForAccount(const std::string& account);

// A place to connect to: the text for the Host line, where to dial, and
// for https whom the server's certificate must name and whom to trust.
struct Endpoint {
    std::string hostLine;
    std::string dialHost;
    std::uint16_t port = kHttpPort;
    Scheme scheme = Scheme::Http;
    std::string certificateName{};
    std::string caFile{};  // empty: the system's roots
};

// A fixed address of the table served with `scheme` on its default port,
// after the override is applied.
Endpoint FixedEndpoint(const Session& session, const char* hostName, const char* address, Scheme scheme = Scheme::Http);

// The webmail host taken from the sign-in, with its scheme; "name:port"
// dials that port.
Endpoint WebmailEndpoint(const Session& session);

// Splits "HOST:PORT"; false when the text is not of that form.
bool ParseHostPort(const std::string& text, std::string& host, std::uint16_t& port);

// Reads a provider override: "https://HOST:PORT", "http://HOST:PORT", or
// "HOST:PORT" for plain http; false when the text is none of these.
bool ParseProviderOverride(const std::string& text, Scheme& scheme, std::string& host, std::uint16_t& port);

// "https" or "http", for the texts that carry a URL.
const char* SchemeName(Scheme scheme);

// The CA file the session trusts alone: its own, else VANTLO_CA_FILE; empty
// for the system's roots.
std::string CaFile(const Session& session);

}  // namespace session
