// The frame that both borderless windows draw for themselves: a rounded
// window region and a double outline of lines joined by quarter arcs.
#pragma once

#include <windows.h>

namespace ui {

// Gives the window a region that is a rounded rectangle over its client
// rectangle with corner ellipses of `ellipse` x `ellipse`. Does nothing when
// the window already has exactly that region, so it may run at every paint.
void SetRoundRegion(HWND window, int ellipse);

// Draws the two outlines into `dc` for a client area of width x height:
// the outer one with a solid 1-pixel pen of colour `outer`, the inner one,
// two pixels further in, with `inner`.
void DrawDoubleOutline(HDC dc, int width, int height, COLORREF outer, COLORREF inner);

}  // namespace ui
