// Which rows a command acts on. List item n shows row n of the Session's
// messageTable, so an item index is a row index.
#pragma once

#include <windows.h>

#include <vector>

#include "session/message_moves.h"
#include "session/tables.h"

namespace messagelist {

// Items whose check box is checked, in ascending order.
std::vector<int> CheckedItems(HWND list);
// Items the list reports as selected, in ascending order.
std::vector<int> SelectedItems(HWND list);
// The first selected item, or -1.
int FirstSelectedItem(HWND list);

struct ChosenItems {
    std::vector<int> items;
    bool checked = false;  // taken from the check boxes, not the selection
};

// The checked items, or else the selected ones.
ChosenItems ChosenRows(HWND list);

// The id cells of the given rows, in the order given; rows past the table's
// used rows or without an id are left out.
session::MessageIdQueue IdsOfRows(const session::MessageTable& table, const std::vector<int>& rows);

}  // namespace messagelist
