#include "messagelist/row_colours.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

namespace {

using messagelist::PaintForRow;

TEST(RowColours, TheFirstSelectedRowTakesTheSelectionColours) {
    for (const char* read : {"true", "false", ""}) {
        messagelist::RowPaint paint = PaintForRow(3, 3, read);
        EXPECT_EQ(paint.text, RGB(0, 0, 0));
        EXPECT_EQ(paint.background, RGB(255, 110, 165));
        EXPECT_EQ(paint.result, CDRF_DODEFAULT);
    }
}

TEST(RowColours, OtherRowsAlternateAndAskForTheirSubItems) {
    struct Case {
        int item;
        int firstSelected;
        COLORREF background;
    } cases[] = {
        {0, -1, RGB(255, 255, 255)},
        {1, -1, RGB(242, 247, 254)},
        {2, 0, RGB(255, 255, 255)},
        {5, 1, RGB(242, 247, 254)},  // a second selected row is drawn with its row colours
    };
    for (const Case& c : cases) {
        messagelist::RowPaint paint = PaintForRow(c.item, c.firstSelected, "true");
        EXPECT_EQ(paint.background, c.background) << "item " << c.item;
        EXPECT_EQ(paint.text, RGB(0, 0, 0)) << "item " << c.item;
        EXPECT_EQ(paint.result, CDRF_NOTIFYSUBITEMDRAW | CDRF_NOTIFYPOSTPAINT);
    }
}

TEST(RowColours, UnreadRowsAreBlueAndReadIsTakenInAnyCase) {
    struct Case {
        const char* read;
        COLORREF text;
    } cases[] = {
        {"true", RGB(0, 0, 0)}, {"TRUE", RGB(0, 0, 0)},    {"tRuE", RGB(0, 0, 0)},  {"false", RGB(0, 0, 255)},
        {"", RGB(0, 0, 255)},   {"truex", RGB(0, 0, 255)}, {"tru", RGB(0, 0, 255)}, {nullptr, RGB(0, 0, 255)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PaintForRow(2, 0, c.read).text, c.text) << "read " << (c.read ? c.read : "(no row)");
}

}  // namespace
