#include "messagelist/message_page.h"

#include <cstring>

#include "messagelist/message_list.h"
#include "session/listing.h"

namespace messagelist {

MessagePage::MessagePage() {
    session::InitMessageTable(table);
}

session::Status ReloadMessagePage(session::Session& session, const std::string& folderId) {
    std::lock_guard<std::recursive_mutex> lock(messageTableLock);
    session::ClearMessageTable(session.messageTable);
    session::Status status = session::ListMessages(session, folderId, session.messageTable);
    FillMessageList(session.messageTable);
    return status;
}

bool PostMessagePage(HWND mainWindow, std::unique_ptr<MessagePage> page) {
    if (!mainWindow || !page) return false;
    if (!PostMessageW(mainWindow, mainwindow::kMessagePageMessage, 0, reinterpret_cast<LPARAM>(page.get())))
        return false;
    page.release();  // now the main window's
    return true;
}

bool AdoptMessagePage(session::Session& session, std::unique_ptr<MessagePage> page, const std::string& openFolderId) {
    if (!page || !page->table.rows || page->folderId != openFolderId) return false;
    std::lock_guard<std::recursive_mutex> lock(messageTableLock);
    if (!session.messageTable.rows) session::InitMessageTable(session.messageTable);
    std::memcpy(session.messageTable.rows.get(), page->table.rows.get(),
                sizeof(session::MessageRow) * session::kMessageRows);
    FillMessageList(session.messageTable);
    return true;
}

}  // namespace messagelist
