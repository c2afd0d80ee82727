#include "messagelist/list_selection.h"

#include <commctrl.h>

#include "session/cells.h"

namespace messagelist {

namespace {
// The state image of an item with list check boxes: 1 unchecked, 2 checked.
constexpr UINT kCheckedImage = 2;

int NextSelected(HWND list, int after) {
    return static_cast<int>(
        SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(after), MAKELPARAM(LVNI_SELECTED, 0)));
}
}  // namespace

std::vector<int> CheckedItems(HWND list) {
    std::vector<int> items;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        UINT state =
            static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_STATEIMAGEMASK));
        if ((state & LVIS_STATEIMAGEMASK) >> 12 == kCheckedImage) items.push_back(i);
    }
    return items;
}

std::vector<int> SelectedItems(HWND list) {
    std::vector<int> items;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    // Each step starts after the last item found; the bound guards against a
    // list that would report an item twice.
    for (int item = NextSelected(list, -1); item >= 0 && static_cast<int>(items.size()) < count;
         item = NextSelected(list, item))
        items.push_back(item);
    return items;
}

int FirstSelectedItem(HWND list) {
    return NextSelected(list, -1);
}

ChosenItems ChosenRows(HWND list) {
    ChosenItems chosen;
    chosen.items = CheckedItems(list);
    chosen.checked = !chosen.items.empty();
    if (!chosen.checked) chosen.items = SelectedItems(list);
    return chosen;
}

session::MessageIdQueue IdsOfRows(const session::MessageTable& table, const std::vector<int>& rows) {
    session::MessageIdQueue ids;
    if (!table.rows) return ids;
    const int used = static_cast<int>(session::UsedMessageRows(table));
    for (int row : rows) {
        if (row < 0 || row >= used) continue;
        std::string_view id = session::CellText(table.rows[row].id);
        if (!id.empty()) ids.emplace_back(id);
    }
    return ids;
}

}  // namespace messagelist
