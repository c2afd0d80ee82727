#include "mainwindow/pane_layout.h"

#include "mainwindow/folder_tree.h"
#include "mainwindow/notice_pane.h"
#include "mainwindow/status_label.h"
#include "mainwindow/tray_icon.h"
#include "mainwindow/ui_globals.h"
#include "messagelist/message_list.h"

namespace mainwindow {

namespace {
HDWP Place(HDWP batch, HWND control, int x, int y, int width, int height) {
    if (!batch || !control) return batch;
    return DeferWindowPos(batch, control, nullptr, x, y, width, height, 0);
}
}  // namespace

void OnMainWindowSize(HWND window, WPARAM sizeType) {
    if (sizeType == SIZE_MINIMIZED) {
        // An empty client area has no room for the panes; they keep their
        // places for the restore.
        MinimiseToTray(window);
        return;
    }
    RECT client{};
    GetClientRect(window, &client);
    const int r = client.right;
    const int b = client.bottom;
    const int w = treePaneWidth;
    HDWP batch = BeginDeferWindowPos(4);
    batch = Place(batch, folderTree, 3, 25, w - 5, b - 50);
    batch = Place(batch, statusLabel, 10, b - 20, 260, 15);
    if (messagelist::messageListWindow) {
        RECT list = messagelist::MessageListBounds(r, b, w);
        batch = Place(batch, messagelist::messageListWindow, list.left, list.top, list.right - list.left,
                      list.bottom - list.top);
    }
    batch = Place(batch, noticePane, w + 2, 25, r - w - 7, b - 50);
    if (batch) EndDeferWindowPos(batch);
}

}  // namespace mainwindow
