#include "messagelist/download_worker.h"

#include <memory>
#include <mutex>

#include "mainwindow/ui_globals.h"
#include "messagelist/message_list.h"
#include "messagelist/message_page.h"
#include "messagelist/progress_timer.h"
#include "messagelist/transfer_book.h"
#include "messagelist/transfer_status.h"
#include "messagelist/ui_thread_post.h"
#include "messagelist/worker_thread.h"
#include "platform/text.h"
#include "platform/ui_seams.h"
#include "session/cells.h"
#include "session/download.h"
#include "signin/app_state.h"

namespace messagelist {

namespace {

constexpr std::size_t kProposedNameUnits = ui::kFileNameCapacity - 1;

struct DownloadJob {
    std::string messageId;
    std::string subjectUtf8;
    HWND owner = nullptr;  // of the save dialog: the list view
};

bool IsHighSurrogate(wchar_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool ReadRow(int row, DownloadJob& job) {
    const session::Session& session = ui::TheSession();
    std::lock_guard<std::recursive_mutex> lock(messageTableLock);
    if (row < 0 || row >= static_cast<int>(session::UsedMessageRows(session.messageTable))) return false;
    const session::MessageRow& cells = session.messageTable.rows[row];
    job.messageId = std::string(session::CellText(cells.id));
    job.subjectUtf8 = std::string(session::CellText(cells.subject));
    return true;
}

void RunDownload(const DownloadJob& job) {
    ui::FileDialogRequest request;
    request.kind = ui::FileDialogKind::Save;
    request.owner = job.owner;
    request.proposedName = ProposedFileName(job.subjectUtf8);
    // A download goes to a new file as often as to an old one: the name need
    // not exist, and replacing a file that does is confirmed first.
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT;
    std::optional<std::wstring> path = ui::AskFileName(request);
    if (!path || path->empty()) {
        PostToUiThread(DownloadCancelled);
        return;
    }
    session::Status status = session::DownloadAttachment(ui::TheSession(), job.messageId, *path);
    PostToUiThread([status] { DownloadEnded(status); });
}

}  // namespace

std::wstring ProposedFileName(const std::string& subjectUtf8) {
    std::wstring name = platform::Utf8ToWide(subjectUtf8);
    for (wchar_t& c : name) {
        switch (c) {
        case L'\\':
        case L'/':
        case L'?':
        case L'<':
        case L'>':
        case L'|':
        case L':':
        case L'"':
        case L'*': c = L'-'; break;
        default: break;
        }
    }
    if (name.size() > kProposedNameUnits) {
        std::size_t length = kProposedNameUnits;
        if (IsHighSurrogate(name[length - 1])) --length;
        name.resize(length);
    }
    return name;
}

void DownloadCancelled() {
    Transfers().downloadTaken = false;
    ui::TheSession().downloadTotal = 0;  // the pending mark: the download never began
    // An upload still travelling keeps the display; it ends it itself.
    StopProgressTimerIfSettled();
    ShowStatusText(kDownloadCancelledText);
}

void DownloadEnded(session::Status status) {
    Transfers().downloadTaken = false;
    ui::AlertIfUnreachable(status, session::AlertedOperation::Download);
    // A download that went well is told by the progress display's own end.
    if (status != session::Status::Ok) ShowTransferFailure(DownloadFailedText(status));
}

void StartDownload(int row) {
    auto job = std::make_unique<DownloadJob>();
    if (!ReadRow(row, *job)) return;
    if (!PrepareUiThreadMailbox()) {
        ShowTransferFailure(kTransferNotStartedText);
        return;
    }
    job->owner = messageListWindow;

    Transfers().downloadTaken = true;
    Transfers().failureShown = false;
    StartProgressTimer();
    ReplaceThreadHandle(mainwindow::downloadThread, nullptr);
    session::Session& session = ui::TheSession();
    session.downloadTotal = kDownloadPendingMark;
    HANDLE thread = CreateThread(nullptr, 0, DownloadWorker, job.get(), 0, nullptr);
    if (!thread) {
        Transfers().downloadTaken = false;
        session.downloadTotal = 0;
        ShowTransferFailure(kTransferNotStartedText);
        return;
    }
    job.release();  // the worker's now
    ReplaceThreadHandle(mainwindow::downloadThread, thread);
}

DWORD WINAPI DownloadWorker(LPVOID param) {
    std::unique_ptr<DownloadJob> job(static_cast<DownloadJob*>(param));
    RunDownload(*job);
    return 0;
}

HANDLE DownloadThread() {
    return mainwindow::downloadThread;
}

}  // namespace messagelist
