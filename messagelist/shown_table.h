// The table the list was last filled from, read when the rows are drawn.
#pragma once

#include "session/tables.h"

namespace messagelist {

inline const session::MessageTable* shownTable = nullptr;

// The read cell of the row behind list item `item`; nullptr when there is none.
const char* ShownReadCell(int item);

}  // namespace messagelist
