#include "messagelist/row_colours.h"

#include <windows.h>

#include <commctrl.h>

namespace messagelist {

bool IsReadCell(const char* readCell) {
    if (!readCell) return false;
    const char* expected = "true";
    for (; *expected; ++expected, ++readCell) {
        char c = *readCell;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *expected) return false;
    }
    return *readCell == '\0';
}

RowPaint PaintForRow(int item, int firstSelected, const char* readCell) {
    if (item == firstSelected) return {kRowText, kSelectedRowBackground, CDRF_DODEFAULT};
    RowPaint paint{kRowText, item % 2 ? kOddRowBackground : kEvenRowBackground,
                   CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT};
    if (!IsReadCell(readCell)) paint.text = kUnreadText;
    return paint;
}

}  // namespace messagelist
