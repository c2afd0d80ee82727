// Driving windows from a test on the user-interface thread: pumping the
// queue, typing, pressing keys, reading texts and places back.
#pragma once

#include <windows.h>

#include <string>

namespace wintest {

struct PumpResult {
    bool quit = false;  // a WM_QUIT was taken off the queue
    int exitCode = 0;
};

// Dispatches messages for `ms` milliseconds (0: only what is queued now).
// A WM_QUIT is taken off the queue and reported, not passed on.
PumpResult PumpMessages(DWORD ms = 0);

// Sends the characters as the keyboard would after TranslateMessage.
void TypeText(HWND window, const std::wstring& text);
// WM_KEYDOWN, WM_CHAR, WM_KEYUP for one key; stops when the window goes.
void PressKey(HWND window, UINT virtualKey, wchar_t character);
inline void PressEnter(HWND window) {
    PressKey(window, VK_RETURN, L'\r');
}
inline void PressTab(HWND window) {
    PressKey(window, VK_TAB, L'\t');
}

std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND window);
bool HasStyle(HWND window, DWORD style);

// The provider the tests sign in to (VANTLO_PROVIDER), or empty.
std::string ProviderAddress();

}  // namespace wintest
