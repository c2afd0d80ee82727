// Dragging files out of the list onto a folder of the shell (an Explorer
// window, the desktop): each dropped file is fetched then, every part
// checked (drag_data.h). OLE must be set up on the thread (the program's
// entry procedure does it).
#pragma once

#include <cstddef>
#include <vector>

#include "app/desktop.h"

namespace messagelist {

// Runs the drag of the rows at `items` that carry a file until it is
// dropped or given up; nothing happens when none does.
void DragFilesOut(const app::Desktop& desktop, const std::vector<std::size_t>& items);

}  // namespace messagelist
