// The folder refresh timer: a 60-second thread timer that the sign-in starts
// once the account has signed in. PLACEHOLDER: it only counts its ticks
// until the folder tree exists.
#pragma once

#include <windows.h>

VOID CALLBACK FolderRefreshTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// How often the timer has fired in this run.
unsigned FolderRefreshTicks();
