#include "messagelist/dropped_files.h"

#include <vector>

#include "mainwindow/ui_globals.h"
#include "messagelist/transfer_book.h"
#include "messagelist/transfer_status.h"
#include "messagelist/upload_worker.h"
#include "platform/ui_seams.h"
#include "signin/app_state.h"

namespace messagelist {

std::wstring LastDroppedPath(HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    if (count == 0) return std::wstring();
    UINT length = DragQueryFileW(drop, count - 1, nullptr, 0);
    if (length == 0) return std::wstring();
    std::vector<wchar_t> path(static_cast<std::size_t>(length) + 1, L'\0');
    UINT copied = DragQueryFileW(drop, count - 1, path.data(), length + 1);
    return std::wstring(path.data(), copied < length ? copied : length);
}

LRESULT AcceptDroppedFiles(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    if (!UploadSlotFree(ui::TheSession())) {
        ui::ShowMessage(mainwindow::mainWindow, kUploadBusyText, kUploadBusyCaption, MB_OK);
    } else {
        std::wstring path = LastDroppedPath(drop);
        if (!path.empty()) StartUpload(path);
    }
    DragFinish(drop);
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace messagelist
