// The main window's own caption: title, five menu labels, the minimise and
// close labels, and the status label along the bottom edge; all of them
// static text controls.
#pragma once

#include <windows.h>

#include "mainwindow/win_handles.h"

namespace mainwindow {

struct CaptionControls {
    HWND title = nullptr;
    HWND menuLabels[4] = {};  // 文件, 编辑, 视图, 工具: no menus of their own
    HWND help = nullptr;
    HWND minimise = nullptr;
    HWND close = nullptr;
};
inline CaptionControls caption;
inline WNDPROC helpLabelOldProc = nullptr;

constexpr UINT IDM_FORUM = 81;

// WM_CREATE: creates the nine controls (the status label among them) in a
// client area whose right edge is `right` and bottom edge `bottom`.
void CreateCaptionControls(HWND window, int right, int bottom);

// WM_COMMAND from a caption label (STN_CLICKED); false when the command was
// not one of theirs.
bool OnCaptionCommand(HWND window, WPARAM wParam, LPARAM lParam);

// The help label's menu: the one item "论坛(&C)".
Menu BuildHelpMenu();

// The help label's replacement procedure; opens the forum page on IDM_FORUM.
LRESULT CALLBACK HelpLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace mainwindow
