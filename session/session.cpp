#include "session/session.h"

#include <cstring>

#include "platform/net.h"
#include "session/cells.h"

namespace session {

const char kUserAgent[] = "Ostrel Mail Tools; Unix 7.2";

Session::Session() {
    InitMessageTable(messageTable);
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
    net::Startup();
}

Session::~Session() {
    FreeFolderTable(folderTable);
    FreeMessageTable(messageTable);
}

}  // namespace session
