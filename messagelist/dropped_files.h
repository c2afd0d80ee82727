// Files dropped on the message list: the last one of the drop is uploaded
// into the open folder.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace messagelist {

// The path of the last file the drop holds; empty when it holds none.
std::wstring LastDroppedPath(HDROP drop);

// WM_DROPFILES on the list (wParam is the drop handle): the busy box while
// an upload runs, else the upload of the last dropped file. Finishes the
// drop and returns DefWindowProcW's result for its arguments.
LRESULT AcceptDroppedFiles(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace messagelist
