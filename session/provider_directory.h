// The provider's fixed endpoints: account domains, the sign-in server, one
// entry server per domain, the notice servers and the forum page. One table
// in one place. VANTLO_PROVIDER=HOST:PORT (or Session::providerOverride)
// replaces every fixed address with that one; host names stay as they are,
// since they only travel in Host lines.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace session {

struct Session;

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

// Entry number (1..3) for an account text: the domain is what follows the
// first "@", compared without regard to case; 0 when it is not supported.
int EntryForAccount(const std::string& account);

// A place to connect to: the text for the Host line and where to dial.
struct Endpoint {
    std::string hostLine;
    std::string dialHost;
    std::uint16_t port = kHttpPort;
};

// A fixed address of the table, after the override is applied.
Endpoint FixedEndpoint(const Session& session, const char* hostName, const char* address);

// The webmail host taken from the sign-in; "name:port" dials that port.
Endpoint WebmailEndpoint(const Session& session);

// Splits "HOST:PORT"; false when the text is not of that form.
bool ParseHostPort(const std::string& text, std::string& host, std::uint16_t& port);

}  // namespace session
