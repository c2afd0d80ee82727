// The main window's own caption: title, five menu labels, the minimise and
// close labels, and the status label along the bottom edge; all of them
// static text controls.
#pragma once

#include <windows.h>

namespace mainwindow {

struct CaptionControls {
    HWND title = nullptr;
    HWND menuLabels[4] = {};  // 文件, 编辑, 视图, 工具: no menus of their own
    HWND help = nullptr;
    HWND minimise = nullptr;
    HWND close = nullptr;
    HWND status = nullptr;
};

constexpr UINT IDM_FORUM = 81;
inline constexpr wchar_t kReadyText[] = L"准备就绪";

// WM_CREATE: creates the nine controls in a client area whose right edge is
// `right` and bottom edge `bottom`.
CaptionControls CreateCaptionControls(HWND window, int right, int bottom);

// WM_COMMAND from a caption label (STN_CLICKED); false when the command was
// not one of theirs.
bool OnCaptionCommand(HWND window, const CaptionControls& caption, WPARAM wParam, LPARAM lParam);

}  // namespace mainwindow
