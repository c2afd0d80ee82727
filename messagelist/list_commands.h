// The message list's context menu and its commands.
#pragma once

#include <windows.h>

namespace messagelist {

// Builds and shows the context menu on a right click in the list; the list
// view owns the menu, so the chosen command reaches MessageListProc.
void ShowMessageListMenu();

// A menu command that reached the list (WM_COMMAND with lParam 0); wParam as
// it arrived. The result is not read.
int MessageListCommand(WPARAM command);

}  // namespace messagelist
