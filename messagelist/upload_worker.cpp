#include "messagelist/upload_worker.h"

#include <chrono>
#include <memory>
#include <thread>

#include "mainwindow/ui_globals.h"
#include "messagelist/message_page.h"
#include "messagelist/progress_timer.h"
#include "messagelist/transfer_book.h"
#include "messagelist/transfer_status.h"
#include "messagelist/ui_thread_post.h"
#include "messagelist/worker_thread.h"
#include "session/listing.h"
#include "session/store_file.h"
#include "signin/app_state.h"

namespace messagelist {

namespace {

struct UploadJob {
    std::wstring path;
    std::string targetFolderId;  // the folder open when the upload began
    HWND mainWindow = nullptr;   // where the reloaded page goes
    UploadPacing pacing;
};

void Pause(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Lists the target folder into a page of the worker's own and hands it to
// the user-interface thread, which shows it if that folder is still open.
void SendReloadedPage(session::Session& session, const UploadJob& job) {
    auto page = std::make_unique<MessagePage>();
    page->folderId = job.targetFolderId;
    if (session::ListMessages(session, page->folderId, page->table) != session::Status::Ok) return;
    PostMessagePage(job.mainWindow, std::move(page));
}

void RunUpload(const UploadJob& job) {
    session::Session& session = ui::TheSession();
    bool uploaded = false;
    auto onStage = [&](session::StoreStage stage) {
        if (stage != session::StoreStage::Uploaded) return;
        uploaded = true;
        PostToUiThread([] { UploadRoutineEnded(session::Status::Ok); });
        Pause(job.pacing.fetchNoticeDelayMs);
        PostStatusText(kFetchingUploadText);
    };
    session::StoreOptions options;
    options.searchBoundMs = job.pacing.searchBoundMs;
    session::StoreResult result = session::StoreFileInFolder(session, job.path, job.targetFolderId, onStage, options);
    const session::Status status = result.status;
    if (!uploaded)
        PostToUiThread([status] { UploadRoutineEnded(status); });
    else if (status == session::Status::Ok)
        PostStatusText(kUploadDoneText);
    else
        PostToUiThread([status] { UploadStoreFailed(status); });
    if (uploaded) SendReloadedPage(session, job);
}

}  // namespace

UploadPacing& TheUploadPacing() {
    static UploadPacing pacing;
    return pacing;
}

void UploadRoutineEnded(session::Status status) {
    Transfers().uploadStarting = false;
    if (status != session::Status::Ok) ShowTransferFailure(UploadFailedText(status));
}

void UploadStoreFailed(session::Status status) {
    ShowTransferFailure(UploadFailedText(status));
}

void StartUpload(const std::wstring& path) {
    if (!PrepareUiThreadMailbox()) {
        ShowTransferFailure(kTransferNotStartedText);
        return;
    }
    auto job = std::make_unique<UploadJob>();
    job->path = path;
    job->targetFolderId = mainwindow::CurrentFolderId();
    job->mainWindow = mainwindow::mainWindow;
    job->pacing = TheUploadPacing();

    ReplaceThreadHandle(mainwindow::uploadThread, nullptr);  // a worker still finishing goes on
    Transfers().uploadStarting = true;
    Transfers().failureShown = false;
    StartProgressTimer();
    HANDLE thread = CreateThread(nullptr, 0, UploadWorker, job.get(), 0, nullptr);
    if (!thread) {
        Transfers().uploadStarting = false;
        ShowTransferFailure(kTransferNotStartedText);
        return;
    }
    job.release();  // the worker's now
    ReplaceThreadHandle(mainwindow::uploadThread, thread);
}

DWORD WINAPI UploadWorker(LPVOID param) {
    std::unique_ptr<UploadJob> job(static_cast<UploadJob*>(param));
    RunUpload(*job);
    return 0;
}

HANDLE UploadThread() {
    return mainwindow::uploadThread;
}

}  // namespace messagelist
