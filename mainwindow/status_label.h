// The one-line status text at the bottom left of the main window.
#pragma once

#include <windows.h>

#include <string>

namespace mainwindow {

inline HWND statusLabel = nullptr;
inline constexpr wchar_t kReadyText[] = L"准备就绪";

// Sets the label's text. On the user-interface thread it is set at once;
// from any other thread the text is posted to the main window, so a worker
// never waits on the user-interface thread.
void SetStatusText(const std::wstring& text);

// kStatusTextMessage: takes over the posted text and shows it.
void OnStatusText(LPARAM posted);

}  // namespace mainwindow
