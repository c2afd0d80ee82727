#include "messagelist/progress_timer.h"

#include "mainwindow/status_label.h"
#include "mainwindow/ui_globals.h"
#include "messagelist/transfer_book.h"
#include "messagelist/transfer_status.h"
#include "signin/app_state.h"
#include "signin/gdi_owners.h"
#include "signin/ui_colours.h"

namespace messagelist {

namespace {

using mainwindow::progressTimerId;

// What the last tick drew; user-interface thread only. Drawn as UTF-16, so
// the display reads right whatever the system's code page.
std::wstring progressText;

// A window's device context for the length of a scope (GetDC / ReleaseDC).
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Over the label's own text, which shows again when the label repaints.
void DrawOverStatusLabel(const std::wstring& text) {
    HWND label = mainwindow::statusLabel;
    if (!label || text.empty()) return;
    RECT client{};
    GetClientRect(label, &client);
    WindowDc dc(label);
    if (!dc.Get()) return;
    ui::SelectedObject font(dc.Get(), GetStockObject(DEFAULT_GUI_FONT));
    // The whole line is cleared first, so a shorter text leaves nothing of
    // a longer one behind.
    FillRect(dc.Get(), &client, ui::BackgroundBrush());
    SetBkColor(dc.Get(), ui::kWindowBackground);
    DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &client, DT_TOP | DT_LEFT | DT_NOPREFIX);
}

}  // namespace

TransferCounts ReadTransferCounts(const session::Session& session) {
    TransferCounts counts;
    counts.uploading = session.uploadIdle.load() == 0;
    counts.uploadSent = session.uploadSent.load();
    counts.uploadTotal = session.uploadTotal.load();
    counts.downloading = session.downloadIdle.load() == 0;
    counts.downloadReceived = session.downloadReceived.load();
    counts.downloadTotal = session.downloadTotal.load();
    return counts;
}

std::wstring ProgressText(const TransferCounts& counts) {
    std::wstring uploadLine, downloadLine;
    if (counts.uploading)
        uploadLine = L"上传:" + std::to_wstring(counts.uploadSent) + L"/" + std::to_wstring(counts.uploadTotal);
    if (counts.downloading)
        downloadLine =
            L"下载:" + std::to_wstring(counts.downloadReceived) + L"/" + std::to_wstring(counts.downloadTotal);
    if (uploadLine.empty() || downloadLine.empty()) return uploadLine + downloadLine;
    return uploadLine + L" " + downloadLine;
}

void StartProgressTimer() {
    if (progressTimerId) return;
    // Without a window the system picks the timer's number itself.
    progressTimerId = SetTimer(nullptr, kProgressTimerEvent, kProgressPeriodMs, ProgressTimerProc);
}

void StopProgressTimer() {
    if (!progressTimerId) return;
    KillTimer(nullptr, progressTimerId);
    progressTimerId = 0;
}

void StopProgressTimerIfSettled() {
    if (TransfersSettled(ui::TheSession())) StopProgressTimer();
}

bool ProgressTimerRunning() {
    return progressTimerId != 0;
}

VOID CALLBACK ProgressTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    mainwindow::SectionLock lock(mainwindow::progressLock);
    const session::Session& session = ui::TheSession();
    progressText = ProgressText(ReadTransferCounts(session));
    DrawOverStatusLabel(progressText);
    if (!TransfersSettled(session)) return;
    // A failure text that a transfer left stays; it says more than this.
    if (!Transfers().failureShown) ShowStatusText(kAllDoneText);
    StopProgressTimer();
}

std::wstring LastProgressText() {
    return progressText;
}

}  // namespace messagelist
