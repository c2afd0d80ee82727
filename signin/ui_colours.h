// The colours every window of the program shares.
#pragma once

#include <windows.h>

namespace ui {

// Background of both windows, their static controls and group boxes.
constexpr COLORREF kWindowBackground = RGB(242, 242, 238);

// One solid brush of the background colour for the whole process: class
// backgrounds and WM_CTLCOLOR* answers. Never delete it.
HBRUSH BackgroundBrush();

// The answer to WM_CTLCOLORSTATIC / WM_CTLCOLORBTN for controls that take
// the window's colour: transparent text background of that colour.
HBRUSH PaintControlBackground(HDC dc);

}  // namespace ui
