// Uploads of files dropped on the list, and the transfer workers.
#pragma once

#include <windows.h>

namespace messagelist {

// WM_DROPFILES on the list view (wParam is the drop handle): the busy box
// while an upload runs, else the upload of the last dropped file into the
// open folder. Finishes the drop and returns DefWindowProcW's result for its
// arguments.
LRESULT FilesDropped(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace messagelist
