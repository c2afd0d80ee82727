// What the user-interface thread knows about the running transfers, beside
// the Session's transfer fields (which the transfer routines write on the
// workers). Read and written on the user-interface thread only; the workers
// report to it through posted tasks.
//
// The Session's idle flags alone leave gaps: an upload worker looks at the
// inbox before its upload routine marks the slot busy, and the save dialog
// of a download runs before the download routine does. The book closes
// them, so one upload and one download at a time holds from the moment a
// transfer is started.
#pragma once

#include "session/session.h"

namespace messagelist {

struct TransferBook {
    bool uploadStarting = false;  // a worker started whose upload routine has not yet ended
    bool downloadTaken = false;   // a download started: save dialog open or bytes travelling
    bool failureShown = false;    // a failure text stands; the progress end keeps it
};

TransferBook& Transfers();

// A new upload or download may start.
bool UploadSlotFree(const session::Session& session);
bool DownloadSlotFree(const session::Session& session);

// Nothing travels, nothing is about to: the progress display may end.
bool TransfersSettled(const session::Session& session);

}  // namespace messagelist
