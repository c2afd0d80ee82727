#include "mainwindow/folder_refresh.h"

#include "mainwindow/app_messages.h"
#include "mainwindow/folder_tree.h"
#include "mainwindow/ui_globals.h"
#include "session/tables.h"
#include "signin/app_state.h"

namespace mainwindow {

namespace {
constexpr int kTicksPerRefresh = 10;

struct RefreshState {
    unsigned ticks = 0;  // all ticks of the run
    int tick = 1;
    bool editing = false;
    int work = 0;          // nesting depth of FolderWork
    bool pending = false;  // a reload waits for the edit or the work to end
};
RefreshState refresh;

bool MustDefer() {
    return refresh.editing || refresh.work > 0;
}

void PostPendingReload() {
    if (!refresh.pending || MustDefer()) return;
    // Posted rather than run: the tree may still be inside the notification
    // that ended the edit, and the items it works on must outlive it.
    PostMessageW(mainWindow, kFolderTreeRebuildMessage, 0, 0);
}
}  // namespace

void ReloadFolderTree() {
    if (!folderTree) return;  // the timer runs from the sign-in on
    SectionLock lock(folderLock);
    session::ClearFolderTable(ui::TheSession().folderTable);
    RebuildFolderTree();
}

void RequestFolderTreeReload() {
    refresh.pending = true;
    if (MustDefer()) return;
    refresh.pending = false;
    ReloadFolderTree();
}

void ScheduleFolderTreeReload() {
    refresh.pending = true;
    PostPendingReload();
}

void OnFolderTreeRebuild() {
    if (!refresh.pending) return;  // already done by an earlier message
    RequestFolderTreeReload();
}

void OnFolderRefreshTimer() {
    ++refresh.ticks;
    if (refresh.tick < kTicksPerRefresh) {
        ++refresh.tick;
        return;
    }
    refresh.tick = 1;
    RequestFolderTreeReload();
}

void NoteLabelEditBegan() {
    refresh.editing = true;
}

void NoteLabelEditEnded() {
    refresh.editing = false;
    PostPendingReload();
}

bool LabelEditInProgress() {
    return refresh.editing;
}

FolderWork::FolderWork() {
    ++refresh.work;
}

FolderWork::~FolderWork() {
    --refresh.work;
    PostPendingReload();
}

int FolderRefreshTick() {
    return refresh.tick;
}

bool FolderTreeReloadPending() {
    return refresh.pending;
}

unsigned FolderRefreshTimerTicks() {
    return refresh.ticks;
}

void ResetFolderRefresh() {
    refresh = RefreshState();
}

}  // namespace mainwindow

VOID CALLBACK FolderRefreshTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    mainwindow::OnFolderRefreshTimer();
}

unsigned FolderRefreshTicks() {
    return mainwindow::FolderRefreshTimerTicks();
}
