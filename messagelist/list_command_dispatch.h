// Carrying out a command of the list's context menu.
#pragma once

#include <windows.h>

namespace messagelist {

// WM_COMMAND from the context menu (wParam as it arrived) on `list`.
// "下载邮件", "只看附件", "下一页" and "属性" do nothing. Returns 0.
int RunListCommand(HWND list, WPARAM wParam);

}  // namespace messagelist
