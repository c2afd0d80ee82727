// Uploads of files dropped on the list, and the transfer workers.
#pragma once

#include <windows.h>

namespace messagelist {

// WM_DROPFILES on the list view (wParam is the drop handle). Finishes the
// drop and returns DefWindowProcW's result for its arguments.
LRESULT FilesDropped(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace messagelist
