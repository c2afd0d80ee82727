// The look both borderless windows share: the background colour, a rounded
// window region and the double outline of lines joined by quarter arcs that
// they draw for themselves.
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

// Gives the window a region that is a rounded rectangle over its client
// rectangle with corner ellipses of `ellipse` x `ellipse`. Does nothing when
// the window already has exactly that region, so it may run at every paint.
void SetRoundRegion(HWND window, int ellipse);

// Draws the two outlines into `dc` for a client area of width x height:
// the outer one with a solid 1-pixel pen of colour `outer`, the inner one,
// two pixels further in, with `inner`.
void DrawDoubleOutline(HDC dc, int width, int height, COLORREF outer, COLORREF inner);

// Moves a window by its client area: the left button's press point stays
// under the pointer.
class WindowDrag {
public:
    void ButtonDown(HWND window, LPARAM lParam);
    void MouseMove(HWND window, WPARAM wParam, LPARAM lParam);
    void ButtonUp() { ReleaseCapture(); }

private:
    POINT anchor_{};  // client position of the last left-button press
};

}  // namespace ui
