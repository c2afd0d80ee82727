#include "messagelist/transfer_commands.h"

#include <mutex>

#include "mainwindow/ui_globals.h"
#include "messagelist/download_worker.h"
#include "messagelist/list_selection.h"
#include "messagelist/message_page.h"
#include "messagelist/progress_timer.h"
#include "messagelist/transfer_book.h"
#include "messagelist/transfer_status.h"
#include "messagelist/upload_worker.h"
#include "platform/ui_seams.h"
#include "session/cells.h"
#include "signin/app_state.h"

namespace messagelist {

namespace {
bool RowHasAttachment(int row) {
    const session::Session& session = ui::TheSession();
    std::lock_guard<std::recursive_mutex> lock(messageTableLock);
    if (row >= static_cast<int>(session::UsedMessageRows(session.messageTable))) return false;
    return IsAttachedCell(session.messageTable.rows[row].attached);
}

void Notify(const wchar_t* text, const wchar_t* caption) {
    ui::ShowMessage(mainwindow::mainWindow, text, caption, MB_OK);
}
}  // namespace

bool IsAttachedCell(const char* attached) {
    const char* expected = "true";
    for (; *expected; ++expected, ++attached) {
        char c = *attached;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *expected) return false;
    }
    return *attached == '\0';
}

void DownloadAttachmentCommand(HWND list) {
    int row = FirstSelectedItem(list);
    if (row < 0) return;
    if (!RowHasAttachment(row)) {
        Notify(kNoAttachmentText, kNoticeCaption);
        return;
    }
    if (!DownloadSlotFree(ui::TheSession())) {
        Notify(kDownloadBusyText, kDownloadBusyCaption);
        return;
    }
    StartDownload(row);
}

void UploadFileCommand(HWND list) {
    if (!UploadSlotFree(ui::TheSession())) {
        Notify(kUploadBusyText, kUploadBusyCaption);
        return;
    }
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::Open;
    request.owner = list;
    request.flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    std::optional<std::wstring> path = ui::AskFileName(request);
    if (path && !path->empty()) {
        // The dialog's loop may have let another upload start meanwhile.
        if (UploadSlotFree(ui::TheSession()))
            StartUpload(*path);
        else
            Notify(kUploadBusyText, kUploadBusyCaption);
        return;
    }
    // A transfer still travelling keeps the display; it ends it itself.
    StopProgressTimerIfSettled();
    ShowStatusText(kUploadCancelledText);
}

}  // namespace messagelist
