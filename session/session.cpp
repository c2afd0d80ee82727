#include "session/session.h"

#include <cstring>

#include "platform/net.h"
#include "session/cells.h"
#include "session/kept_connection.h"

namespace session {

const char kUserAgent[] = "Ostrel Mail Tools; Unix 7.2";

Session::Session() {
    InitFolderTable(folderTable);
    ClearCell(ntesSessCookie);
    ClearCell(host);
    ClearCell(coremailCookie);
    ClearCell(sid);
    ClearCell(sInfoCookie);
    ClearCell(pInfoCookie);
    ClearCell(composeId);
    ClearCell(accountName);
    SetCell(userAgent, kUserAgent);
    kept = std::make_unique<KeptConnection>();
    net::Startup();
}

Session::~Session() {
    FreeFolderTable(folderTable);
}

void CopySignIn(const Session& from, Session& to) {
    std::memcpy(to.ntesSessCookie, from.ntesSessCookie, sizeof to.ntesSessCookie);
    std::memcpy(to.host, from.host, sizeof to.host);
    std::memcpy(to.coremailCookie, from.coremailCookie, sizeof to.coremailCookie);
    std::memcpy(to.sid, from.sid, sizeof to.sid);
    std::memcpy(to.sInfoCookie, from.sInfoCookie, sizeof to.sInfoCookie);
    std::memcpy(to.pInfoCookie, from.pInfoCookie, sizeof to.pInfoCookie);
    std::memcpy(to.userAgent, from.userAgent, sizeof to.userAgent);
    std::memcpy(to.accountName, from.accountName, sizeof to.accountName);
    to.hostScheme = from.hostScheme;
    to.limits = from.limits;
    to.providerOverride = from.providerOverride;
    to.caFile = from.caFile;
}

}  // namespace session
