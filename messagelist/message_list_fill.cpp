// Filling the list from a message table: item n is row n.
#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "messagelist/list_title.h"
#include "messagelist/message_list.h"
#include "messagelist/shown_table.h"
#include "messagelist/size_text.h"
#include "messagelist/text_convert.h"

namespace messagelist {

namespace {
// Room for one converted cell; the title has a buffer of its own, as its
// UTF-8 form may be longer than any other cell.
constexpr std::size_t kCellUnits = 150;
constexpr std::size_t kTitleUnits = kTitleBytes + 1;

void SetSubItem(int item, int subItem, const char* utf8) {
    wchar_t wide[kCellUnits];
    Utf8ToWide(utf8, wide);
    LVITEMW lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = wide;
    SendMessageW(messageListWindow, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
}

void InsertRow(int item, const session::MessageRow& row) {
    wchar_t title[kTitleUnits];
    Utf8ToWide(ComposeTitle(row).c_str(), title);
    LVITEMW lvi{};
    lvi.mask = LVIF_TEXT;
    lvi.iItem = item;
    lvi.pszText = title;
    SendMessageW(messageListWindow, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi));

    char size[kSizeTextCapacity] = {};
    std::memcpy(size, row.size, kSizeTextCapacity - 1);  // the cell is as wide as the text
    FormatSizeText(size);
    SetSubItem(item, 1, size);
    SetSubItem(item, 2, row.receivedDate);
    SetSubItem(item, 3, row.sentDate);
    SetSubItem(item, 4, row.from);
}
}  // namespace

int FillMessageList(const session::MessageTable& table) {
    shownTable = &table;
    if (!messageListWindow) return 0;
    SendMessageW(messageListWindow, LVM_DELETEALLITEMS, 0, 0);
    if (!table.rows) return 0;
    for (std::size_t i = 0; i < session::kMessageRows && table.rows[i].subject[0] != '\0'; ++i)
        InsertRow(static_cast<int>(i), table.rows[i]);
    return 0;
}

}  // namespace messagelist
