// Reloading the folder tree: by command, after a rename, and every tenth
// tick of the folder refresh timer. A reload never runs into a label edit
// or into folder work that is waiting on an error box: it is deferred until
// they have ended.
#pragma once

#include <windows.h>

// The folder refresh timer's callback: a 60-second thread timer of the
// user-interface thread that the sign-in starts; every tenth tick reloads
// the tree.
VOID CALLBACK FolderRefreshTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// How often the timer has fired in this run.
unsigned FolderRefreshTicks();

namespace mainwindow {

// Under folderLock: empties the folder table and rebuilds the tree, whose
// expansion of the mail root item fetches the folders again.
void ReloadFolderTree();

// Reloads the tree now, or as soon as no label edit and no folder work is
// in progress.
void RequestFolderTreeReload();

// Reloads the tree from the message loop, once no label edit and no folder
// work is in progress (after a rename).
void ScheduleFolderTreeReload();

// kFolderTreeRebuildMessage: a deferred reload whose moment has come.
void OnFolderTreeRebuild();

// A label edit of the tree began or ended.
void NoteLabelEditBegan();
void NoteLabelEditEnded();
bool LabelEditInProgress();

// Marks folder work (requests that may show an error box, whose message
// loop runs the timer) for the length of a scope.
class FolderWork {
public:
    FolderWork();
    ~FolderWork();
    FolderWork(const FolderWork&) = delete;
    FolderWork& operator=(const FolderWork&) = delete;
};

// One tick of the timer, as FolderRefreshTimerProc runs it, and all ticks
// of the run.
void OnFolderRefreshTimer();
unsigned FolderRefreshTimerTicks();

// The refresh timer's tick counter, 1 to 10, and whether a reload waits.
int FolderRefreshTick();
bool FolderTreeReloadPending();
void ResetFolderRefresh();

}  // namespace mainwindow
