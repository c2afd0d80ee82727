// The main window's rounded region and its two-colour outline.
#pragma once

#include <windows.h>

namespace mainwindow {

constexpr COLORREF kOuterOutline = RGB(51, 102, 204);
constexpr COLORREF kInnerOutline = RGB(151, 102, 204);
constexpr int kCornerEllipse = 13;

// WM_PAINT: gives the window its rounded region (when it does not have it
// yet) and draws the two outlines.
void PaintMainWindowFrame(HWND window);

}  // namespace mainwindow
