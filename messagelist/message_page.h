// Who refills the Session's messageTable, and how.
//
// The Session's messageTable and the list that shows it belong to the
// user-interface thread. Every refill of them is one step, clear + list +
// fill, taken under messageTableLock (ReloadMessagePage), so the table is
// never cleared and refilled by two refills at once. A worker thread never
// writes that table: it lists into a table of its own and posts the page to
// the main window (PostMessagePage), which adopts it on the user-interface
// thread (AdoptMessagePage). A worker that reads a row of the Session's
// table (the download worker) copies it under messageTableLock.
//
// The lock is recursive: the user-interface thread may re-enter a refill
// from the nested message loop of an error box, and must not block on
// itself there.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "mainwindow/app_messages.h"
#include "session/session.h"
#include "session/status.h"

namespace messagelist {

inline std::recursive_mutex messageTableLock;

// A page that a worker listed into a table of its own.
struct MessagePage {
    MessagePage();
    std::string folderId;
    session::MessageTable table;
};

// User-interface thread: clears the Session's messageTable, lists the folder
// into it and refills the list. Returns ListMessages' status.
session::Status ReloadMessagePage(session::Session& session, const std::string& folderId);

// Worker threads: hands a listed page to the user-interface thread. False,
// with the page released, when the main window is gone.
bool PostMessagePage(HWND mainWindow, std::unique_ptr<MessagePage> page);  // kMessagePageMessage

// User-interface thread, on mainwindow::kMessagePageMessage: when the page's folder is
// the open one (`openFolderId`), the page becomes the Session's messageTable
// and the list shows it; a page of another folder is dropped, since the list
// already shows the folder opened since. True when the page was adopted.
bool AdoptMessagePage(session::Session& session, std::unique_ptr<MessagePage> page, const std::string& openFolderId);

}  // namespace messagelist
