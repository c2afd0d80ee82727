// The upload and download workers and the progress timer are added here by
// the transfers work; until then a drop is only released.
#include "messagelist/transfers.h"

#include <shellapi.h>

namespace messagelist {

LRESULT FilesDropped(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DragFinish(reinterpret_cast<HDROP>(wParam));
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace messagelist
