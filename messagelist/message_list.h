// The message list area of the main window's right pane: the list view of
// the open folder's newest page and the five controls above it. List item n
// always shows row n of the table it was filled from; the list is refilled
// whole, never sorted, so an item index is a row index.
#pragma once

#include <windows.h>

#include "session/tables.h"

namespace messagelist {

// The area's windows; all null until CreateMessageListArea has run. Null
// messageListWindow is the test for an area not yet created.
inline HWND messageListWindow = nullptr;
inline WNDPROC messageListOldProc = nullptr;
inline HWND folderTitleLabel = nullptr;
inline HWND searchBox = nullptr;
inline HWND searchCaption = nullptr;
inline HWND prevPageCaption = nullptr;
inline HWND nextPageCaption = nullptr;

// Column headers and widths, in column order.
struct ListColumn {
    const wchar_t* header;
    int width;
};
inline constexpr ListColumn kListColumns[] = {
    {L"标题", 180}, {L"大小", 70}, {L"接收日期", 130}, {L"发送日期", 130}, {L"来自", 120},
};

// Creates the six controls as children of the main window. Returns 0.
int CreateMessageListArea();

// The area went with the main window: forgets its handles, so a main window
// made later gets an area of its own.
void ForgetMessageListArea();

// Replaces every item with the table's rows, from row 0 to the first row
// with an empty subject. User-interface thread only (see message_page.h);
// remembers the table for drawing the rows' colours. Returns 0.
int FillMessageList(const session::MessageTable& table);

// Where the list view goes inside a main window client area of the given
// size; WM_SIZE of the main window uses it as well.
RECT MessageListBounds(int clientWidth, int clientHeight, int treePaneWidth);

// The replacement window procedure of the list view.
LRESULT CALLBACK MessageListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// WM_NOTIFY of the main window whose sender is messageListWindow; its result
// is the main window's result.
LRESULT MessageListNotify(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace messagelist
