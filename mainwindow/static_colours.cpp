#include "mainwindow/static_colours.h"

#include "messagelist/message_list.h"
#include "signin/ui_colours.h"

namespace mainwindow {

LRESULT OnCtlColorStatic(HDC dc, HWND control) {
    HBRUSH brush = ui::PaintControlBackground(dc);
    if (control && (control == messagelist::prevPageCaption || control == messagelist::nextPageCaption))
        SetTextColor(dc, kPageLinkText);
    return reinterpret_cast<LRESULT>(brush);
}

}  // namespace mainwindow
