// The notice pane: the right pane's rich edit control until a folder is
// first opened, showing the notice text that the desktop fetches, with its
// web addresses as links that open in the default browser.
#pragma once

#include <windows.h>

#include <richedit.h>

namespace mainwindow {

inline constexpr wchar_t kNoticePlaceholder[] = L"请稍后,正在读取公告...";

// Creates the pane in the right pane of the frame (rich edit 1.0 must be
// loaded). Null when the system would not make it.
HWND CreateNoticePane(HWND frame);

// EN_LINK with WM_LBUTTONDOWN from the pane: selects the link, reads it and
// starts the browser with it.
void OpenNoticeLink(HWND pane, const ENLINK& link);

}  // namespace mainwindow
