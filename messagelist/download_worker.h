// Fetching the attachment of one message on a worker thread: the save
// dialog with a name proposed from the subject, then the download.
#pragma once

#include <windows.h>

#include <string>

#include "session/status.h"

namespace messagelist {

// User-interface thread, once the download slot was found free: takes the
// id and subject of list row `row` now (a refill of the list while the save
// dialog is open cannot change what is fetched), starts the progress display
// and the worker. A row without a message does nothing.
void StartDownload(int row);

DWORD WINAPI DownloadWorker(LPVOID job);

// The last download worker started (tests wait on it); null before the first.
HANDLE DownloadThread();

// The name the save dialog proposes: the subject with each of \ / ? < > | :
// " * replaced by "-", cut to 259 UTF-16 units (never inside a pair).
std::wstring ProposedFileName(const std::string& subjectUtf8);

// User-interface thread: what the worker reports.
void DownloadCancelled();
void DownloadEnded(session::Status status);

}  // namespace messagelist
