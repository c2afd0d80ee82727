#include "app/window_look.h"

// After windows.h: GET_X_LPARAM and GET_Y_LPARAM.
#include <windowsx.h>

#include "platform/win_handles.h"

namespace ui {
namespace {

constexpr DWORD kArcRadius = 7;

// One outline: four straight sides joined by quarter arcs, drawn
// counter-clockwise from the top edge. AngleArc draws a line from the current
// position to the arc's start and leaves the position at the arc's end.
// `inset` is 0 for the outer outline and 2 for the inner one; the inner
// outline's lower and right arc centres sit two pixels further in as well.
void DrawOutline(HDC dc, int width, int height, int inset) {
    const int nearCentre = 7 + inset;     // centre of the top and left arcs
    const int farX = width - 9 - inset;   // centre of the right arcs
    const int farY = height - 9 - inset;  // centre of the bottom arcs
    MoveToEx(dc, nearCentre, inset, nullptr);
    AngleArc(dc, nearCentre, nearCentre, kArcRadius, 90.0f, 90.0f);
    LineTo(dc, inset, height - 9);
    AngleArc(dc, nearCentre, farY, kArcRadius, 180.0f, 90.0f);
    LineTo(dc, width - 9, height - 2 - inset);
    AngleArc(dc, farX, farY, kArcRadius, 270.0f, 90.0f);
    LineTo(dc, width - 2 - inset, nearCentre);
    AngleArc(dc, farX, nearCentre, kArcRadius, 0.0f, 90.0f);
    LineTo(dc, nearCentre, inset);
}

}  // namespace

HBRUSH BackgroundBrush() {
    static GdiObject<HBRUSH> brush(CreateSolidBrush(kWindowBackground));
    return brush.Get();
}

HBRUSH PaintControlBackground(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, kWindowBackground);
    return BackgroundBrush();
}

void SetRoundRegion(HWND window, int ellipse) {
    RECT client{};
    GetClientRect(window, &client);
    GdiObject<HRGN> wanted(CreateRoundRectRgn(client.left, client.top, client.right, client.bottom, ellipse, ellipse));
    if (!wanted) return;
    GdiObject<HRGN> current(CreateRectRgn(0, 0, 0, 0));
    if (current && GetWindowRgn(window, current.Get()) != ERROR && EqualRgn(current.Get(), wanted.Get())) return;
    // The window owns the region once SetWindowRgn has taken it.
    if (SetWindowRgn(window, wanted.Get(), TRUE)) wanted.Release();
}

void DrawDoubleOutline(HDC dc, int width, int height, COLORREF outer, COLORREF inner) {
    int previousMode = SetROP2(dc, R2_COPYPEN);
    {
        GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, outer));
        SelectedObject selected(dc, pen.Get());
        DrawOutline(dc, width, height, 0);
    }
    {
        GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, inner));
        SelectedObject selected(dc, pen.Get());
        DrawOutline(dc, width, height, 2);
    }
    SetROP2(dc, previousMode);
}

void WindowDrag::ButtonDown(HWND window, LPARAM lParam) {
    anchor_ = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    SetCapture(window);
}

void WindowDrag::MouseMove(HWND window, WPARAM wParam, LPARAM lParam) {
    if (!(wParam & MK_LBUTTON) || GetCapture() != window) return;
    // The window's top-left corner goes to the pointer's position less the
    // anchor, in screen coordinates.
    POINT corner{GET_X_LPARAM(lParam) - anchor_.x, GET_Y_LPARAM(lParam) - anchor_.y};
    ClientToScreen(window, &corner);
    SetWindowPos(window, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE);
}

}  // namespace ui
