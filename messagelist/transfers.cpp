// A drop on the list starts an upload: see dropped_files.cpp, and the
// workers in upload_worker.cpp and download_worker.cpp.
#include "messagelist/transfers.h"

#include "messagelist/dropped_files.h"

namespace messagelist {

LRESULT FilesDropped(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return AcceptDroppedFiles(window, message, wParam, lParam);
}

}  // namespace messagelist
