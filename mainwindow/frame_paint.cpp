#include "mainwindow/frame_paint.h"

#include "signin/gdi_owners.h"
#include "signin/window_outline.h"

namespace mainwindow {

void PaintMainWindowFrame(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    ui::SetRoundRegion(window, kCornerEllipse);
    ui::PaintScope paint(window);
    ui::DrawDoubleOutline(paint.Dc(), client.right, client.bottom, kOuterOutline, kInnerOutline);
}

}  // namespace mainwindow
