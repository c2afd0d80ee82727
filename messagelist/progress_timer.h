// The progress display: a 200 ms thread timer on the user-interface thread
// that draws the running transfers' byte counts over the status label and,
// once nothing travels any more, says "操作成功完成" and stops.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "session/session.h"

namespace messagelist {

constexpr UINT_PTR kProgressTimerEvent = 2;
constexpr UINT kProgressPeriodMs = 200;
// Put into downloadTotal when a download starts, so the display keeps
// running through the save dialog, before the download routine runs.
constexpr std::int32_t kDownloadPendingMark = 5120;

struct TransferCounts {
    bool uploading = false;
    std::int32_t uploadSent = 0;
    std::int32_t uploadTotal = 0;
    bool downloading = false;
    std::int32_t downloadReceived = 0;
    std::int32_t downloadTotal = 0;
};

TransferCounts ReadTransferCounts(const session::Session& session);

// "上传:sent/total", "下载:received/total", or both joined by one blank;
// empty when nothing travels.
std::wstring ProgressText(const TransferCounts& counts);

// User-interface thread only. Starting a running timer does nothing.
void StartProgressTimer();
void StopProgressTimer();
// Stops the timer only when no transfer needs it any more.
void StopProgressTimerIfSettled();
bool ProgressTimerRunning();

VOID CALLBACK ProgressTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// The text the last tick drew.
std::wstring LastProgressText();

}  // namespace messagelist
