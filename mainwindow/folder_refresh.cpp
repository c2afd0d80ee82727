#include "mainwindow/folder_refresh.h"

#include <atomic>

namespace {
std::atomic<unsigned> ticks{0};
}  // namespace

VOID CALLBACK FolderRefreshTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    ++ticks;
}

unsigned FolderRefreshTicks() {
    return ticks.load();
}
