// The list view's replacement window procedure and the main window's
// notifications from the list.
#include <windows.h>

#include <commctrl.h>

#include "messagelist/list_commands.h"
#include "messagelist/message_list.h"
#include "messagelist/row_colours.h"
#include "messagelist/shown_table.h"
#include "messagelist/transfers.h"

namespace messagelist {

namespace {
LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!messageListOldProc) return DefWindowProcW(window, message, wParam, lParam);
    return CallWindowProcW(messageListOldProc, window, message, wParam, lParam);
}

LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        int item = static_cast<int>(draw->nmcd.dwItemSpec);
        int firstSelected = static_cast<int>(
            SendMessageW(messageListWindow, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
        RowPaint paint = PaintForRow(item, firstSelected, ShownReadCell(item));
        draw->clrText = paint.text;
        draw->clrTextBk = paint.background;
        return paint.result;
    }
    default: return CDRF_DODEFAULT;
    }
}
}  // namespace

const char* ShownReadCell(int item) {
    if (!shownTable || !shownTable->rows || item < 0 || item >= static_cast<int>(session::kMessageRows)) return nullptr;
    return shownTable->rows[item].read;
}

LRESULT CALLBACK MessageListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCPAINT:
        if (wParam == 1) return 0;  // no frame of its own
        break;
    case WM_COMMAND:
        if (lParam == 0) MessageListCommand(wParam);
        break;
    case WM_DROPFILES: FilesDropped(window, message, wParam, lParam); break;
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT MessageListNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    switch (header->code) {
    case NM_CUSTOMDRAW: return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
    case NM_RCLICK: ShowMessageListMenu(); break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace messagelist
