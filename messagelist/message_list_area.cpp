// Creating the message list area: the folder title, the search box and its
// caption, the two page captions and the list view with its five columns.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "mainwindow/ui_globals.h"
#include "messagelist/message_list.h"

namespace messagelist {

namespace {
HWND CreateChild(DWORD exStyle, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width,
                 int height) {
    return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                           mainwindow::mainWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void SetGuiFont(HWND control) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
}

void InsertColumns(HWND list) {
    int position = 0;
    for (const ListColumn& column : kListColumns) {
        LVCOLUMNW lvc{};
        lvc.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        lvc.fmt = LVCFMT_LEFT;
        lvc.cx = column.width;
        lvc.pszText = const_cast<wchar_t*>(column.header);
        lvc.iSubItem = position;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&lvc));
        ++position;
    }
}
}  // namespace

RECT MessageListBounds(int clientWidth, int clientHeight, int treePaneWidth) {
    RECT bounds;
    bounds.left = treePaneWidth + 2;
    bounds.top = 55;
    bounds.right = bounds.left + (clientWidth - treePaneWidth - 7);
    bounds.bottom = bounds.top + (clientHeight - 80);
    return bounds;
}

void ForgetMessageListArea() {
    messageListWindow = nullptr;
    messageListOldProc = nullptr;
    folderTitleLabel = nullptr;
    searchBox = nullptr;
    searchCaption = nullptr;
    prevPageCaption = nullptr;
    nextPageCaption = nullptr;
}

int CreateMessageListArea() {
    if (messageListWindow) return 0;  // created once, for the rest of the run
    RECT client{};
    GetClientRect(mainwindow::mainWindow, &client);
    const int w = client.right;
    const int h = client.bottom;
    const int pane = mainwindow::treePaneWidth;

    folderTitleLabel = CreateChild(0, L"Static", L"", WS_CLIPSIBLINGS | WS_CLIPCHILDREN, pane + 7, 35, 160, 12);
    searchBox = CreateChild(WS_EX_CLIENTEDGE, L"Edit", L"", 0, w - 330, 30, 180, 20);
    searchCaption = CreateChild(0, L"Static", L"搜索", 0, w - 145, 33, 40, 18);
    prevPageCaption = CreateChild(0, L"Static", L"上一页", 0, w - 100, 33, 40, 20);
    nextPageCaption = CreateChild(0, L"Static", L"下一页", 0, w - 55, 33, 40, 20);
    for (HWND control : {folderTitleLabel, searchBox, searchCaption, prevPageCaption, nextPageCaption})
        SetGuiFont(control);

    RECT bounds = MessageListBounds(w, h, pane);
    messageListWindow = CreateChild(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", LVS_REPORT | LVS_EDITLABELS, bounds.left,
                                    bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
    if (!messageListWindow) return 0;
    DragAcceptFiles(messageListWindow, TRUE);
    messageListOldProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(messageListWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageListProc)));
    SendMessageW(messageListWindow, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    InsertColumns(messageListWindow);
    return 0;
}

}  // namespace messagelist
