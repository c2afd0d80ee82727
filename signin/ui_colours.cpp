#include "signin/ui_colours.h"

#include "signin/gdi_owners.h"

namespace ui {

HBRUSH BackgroundBrush() {
    static GdiObject<HBRUSH> brush(CreateSolidBrush(kWindowBackground));
    return brush.Get();
}

HBRUSH PaintControlBackground(HDC dc) {
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, kWindowBackground);
    return BackgroundBrush();
}

}  // namespace ui
