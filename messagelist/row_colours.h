// Colours of the list's rows: the first selected row stands out, the others
// alternate their backgrounds, and unread rows are written in blue.
#pragma once

#include <windows.h>

namespace messagelist {

constexpr COLORREF kSelectedRowBackground = RGB(255, 110, 165);
constexpr COLORREF kOddRowBackground = RGB(242, 247, 254);
constexpr COLORREF kEvenRowBackground = RGB(255, 255, 255);
constexpr COLORREF kUnreadText = RGB(0, 0, 255);
constexpr COLORREF kRowText = RGB(0, 0, 0);

struct RowPaint {
    COLORREF text;
    COLORREF background;
    LRESULT result;  // what the item pre-paint answers
};

// `readCell` is the row's read cell; nullptr when the row is not in the table.
RowPaint PaintForRow(int item, int firstSelected, const char* readCell);

// True when the read cell says "true" in any letter case.
bool IsReadCell(const char* readCell);

}  // namespace messagelist
