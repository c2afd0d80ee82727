// The one record of a signed-in account: cookies, session id, webmail host,
// the two tables, the latest refusal code and the transfer counters of the
// session's own uploads and downloads. A session is worked on by one
// thread at a time; another thread takes a copy (CopySignIn).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "session/tables.h"

namespace session {

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
    std::string uploadRequest;  // request head of the latest upload
    // The provider's own code (e.g. "FA_OVERFLOW") when the latest operation
    // on this session returned Status::Refused because its answer's 'code'
    // was not S_OK; empty after any other outcome. A session is worked on by
    // one thread at a time, so the code stays with the request that drew it.
    std::string refusalCode;

    // The desktop program leaves the messageTable empty (its workers list
    // into tables of their own and hand copies over, app/model.h) and fills
    // the folderTable on its one session lane only.
    MessageTable messageTable;
    FolderTable folderTable;

    // Written by the transfer routines on worker threads, read by the
    // progress display; each is written whole.
    std::atomic<std::uint8_t> uploadIdle{1};
    std::atomic<std::uint8_t> downloadIdle{1};
    std::atomic<std::int32_t> uploadSent{0};
    std::atomic<std::int32_t> uploadTotal{0};
    std::atomic<std::int32_t> downloadReceived{0};
    std::atomic<std::int32_t> downloadTotal{0};

    ExchangeLimits limits;
    // "HOST:PORT" (plain http) or "https://HOST:PORT" that replaces every
    // built-in server address; empty means the VANTLO_PROVIDER environment
    // variable, or the built-in table.
    std::string providerOverride;
    // A PEM file whose certificates are then the only trusted roots for TLS;
    // empty means the VANTLO_CA_FILE environment variable, or the system's
    // roots.
    std::string caFile;
};

extern const char kUserAgent[];

// Makes `to` signed in as `from` is (cookies, session id, webmail host and
// its scheme, account, user agent, bounds, provider and CA settings), so
// that another thread can work on the account without signing in again.
// The tables, the compose session and the transfer counters stay `to`'s own.
void CopySignIn(const Session& from, Session& to);

}  // namespace session
