#include "mainwindow/padlock.h"

#include "platform/win_handles.h"

namespace mainwindow {

void DrawPadlock(HDC dc, int x, int middle, bool open) {
    const int top = middle - 7, lift = open ? 3 : 0;
    ui::GdiObject pen(CreatePen(PS_SOLID, 2, RGB(80, 80, 80)));
    ui::SelectedObject usePen(dc, pen.Get());
    Arc(dc, x + 2, top - lift, x + 9, top + 7 - lift, x + 9, top + 3 - lift, x + 2, top + 3 - lift);
    MoveToEx(dc, x + 8, top + 3 - lift, nullptr);
    LineTo(dc, x + 8, top + 7);
    MoveToEx(dc, x + 2, top + 3 - lift, nullptr);
    LineTo(dc, x + 2, open ? top + 3 : top + 7);
    RECT body{x, top + 7, x + 11, top + 15};
    ui::GdiObject fill(CreateSolidBrush(open ? RGB(40, 160, 70) : RGB(200, 50, 40)));
    FillRect(dc, &body, fill.Get());
}

}  // namespace mainwindow
