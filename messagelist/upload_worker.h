// Storing a file into the open folder on a worker thread: the upload, the
// search of the inbox for the delivered mail, the move into the folder that
// was open when the upload began, and the reload of the list.
#pragma once

#include <windows.h>

#include <string>

#include "session/status.h"

namespace messagelist {

// Pauses of the upload worker. Tests shorten them; the program keeps these.
struct UploadPacing {
    // From the end of the upload routine to "请稍后.... 正在收取并移动文件".
    int fetchNoticeDelayMs = 3000;
    // How long the delivered mail is looked for in the inbox.
    int searchBoundMs = 60000;
};

UploadPacing& TheUploadPacing();

// User-interface thread, once the upload slot was found free: fixes the open
// folder as the target, starts the progress display and the worker.
void StartUpload(const std::wstring& path);

// The worker's thread procedure; its argument is the job StartUpload made.
DWORD WINAPI UploadWorker(LPVOID job);

// The last upload worker started (tests wait on it); null before the first.
HANDLE UploadThread();

// User-interface thread: what the worker reports. The upload routine ended
// (successfully or not); the whole store failed after a successful upload.
void UploadRoutineEnded(session::Status status);
void UploadStoreFailed(session::Status status);

}  // namespace messagelist
