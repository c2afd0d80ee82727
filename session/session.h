// The one record of a signed-in account: cookies, session id, webmail host,
// the folder table and the latest refusal code. A session is worked on by
// one thread at a time; another thread takes a copy (CopySignIn).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "session/tables.h"

namespace session {

class KeptConnection;

// Bounds on every wait of an exchange, so a stalled or silent server ends an
// operation with an error instead of hanging its thread.
// How a server is spoken to: plain HTTP, or HTTP inside TLS.
enum class Scheme { Http, Https };

struct ExchangeLimits {
    int idleTimeoutMs = 60000;  // longest stretch without answer data
    int connectAttempts = 3;    // connect tries before giving up
    int connectRetryPauseMs = 200;
    // A whole answer of the script interface (or the sign-in) must arrive
    // within this, however steadily a slow server trickles it.
    int answerTimeoutMs = 120000;
    // Transfers (upload, download) fail when fewer than speedLimitBytes
    // move within speedTimeMs: about 34 bytes a second, far below the
    // slowest link that could move a file at all.
    long long speedLimitBytes = 1024;
    int speedTimeMs = 30000;
};

struct Session {
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    char ntesSessCookie[256];
    char host[64];
    char coremailCookie[256];
    char sid[33];
    char sInfoCookie[256];
    char pInfoCookie[256];
    char composeId[33];
    char userAgent[150];
    char accountName[64];
    // The scheme of the webmail host, from the same Location as `host`.
    Scheme hostScheme = Scheme::Http;
    // The provider's own code (e.g. "FA_OVERFLOW") when the latest operation
    // on this session returned Status::Refused because its answer's 'code'
    // was not S_OK; empty after any other outcome. A session is worked on by
    // one thread at a time, so the code stays with the request that drew it.
    std::string refusalCode;

    // Filled by GetAllFolders (the webmail store's folder list).
    FolderTable folderTable;

    ExchangeLimits limits;
    // "HOST:PORT" (plain http) or "https://HOST:PORT" that replaces every
    // built-in server address; empty means the VANTLO_PROVIDER environment
    // variable, or the built-in table.
    std::string providerOverride;
    // A PEM file whose certificates are then the only trusted roots for TLS;
    // empty means the VANTLO_CA_FILE environment variable, or the system's
    // roots.
    std::string caFile;
    // The connection to the webmail host kept between script requests
    // (never null); a copy (CopySignIn) opens its own.
    std::unique_ptr<KeptConnection> kept;
};

extern const char kUserAgent[];

// Makes `to` signed in as `from` is (cookies, session id, webmail host and
// its scheme, account, user agent, bounds, provider and CA settings), so
// that another thread can work on the account without signing in again.
// The folder table and the compose session stay `to`'s own.
void CopySignIn(const Session& from, Session& to);

}  // namespace session
