// Dragging the main window by any point of its own client area.
#pragma once

#include <windows.h>

namespace mainwindow {

void OnDragButtonDown(HWND window, LPARAM lParam);
void OnDragMouseMove(HWND window, WPARAM wParam, LPARAM lParam);
void OnDragButtonUp();

}  // namespace mainwindow
