#include "mainwindow/window_drag.h"

#include <windowsx.h>

namespace mainwindow {

namespace {
struct DragState {
    POINT anchor{};   // client position of the last left-button press
    POINT pointer{};  // last pointer position seen
};
DragState drag;
}  // namespace

void OnDragButtonDown(HWND window, LPARAM lParam) {
    drag.anchor = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    SetCapture(window);
}

void OnDragMouseMove(HWND window, WPARAM wParam, LPARAM lParam) {
    drag.pointer = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (!(wParam & MK_LBUTTON) || GetCapture() != window) return;
    // The anchor stays under the pointer: the window's top-left corner goes
    // to the pointer's position less the anchor, in screen coordinates.
    POINT corner{drag.pointer.x - drag.anchor.x, drag.pointer.y - drag.anchor.y};
    ClientToScreen(window, &corner);
    SetWindowPos(window, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE);
}

void OnDragButtonUp() {
    ReleaseCapture();
}

}  // namespace mainwindow
