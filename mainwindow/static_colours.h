// Colours of the main window's static controls.
#pragma once

#include <windows.h>

namespace mainwindow {

constexpr COLORREF kPageLinkText = RGB(0, 0, 238);

// WM_CTLCOLORSTATIC: transparent text on the window's background colour;
// the message list's two page captions in link blue. Returns the brush.
LRESULT OnCtlColorStatic(HDC dc, HWND control);

}  // namespace mainwindow
