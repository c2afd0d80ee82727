#include "ui_driver.h"

#include <cstdlib>
#include <vector>

namespace wintest {

PumpResult PumpMessages(DWORD ms) {
    PumpResult result;
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                result.quit = true;
                result.exitCode = static_cast<int>(message.wParam);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (GetTickCount() - start >= ms) return result;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void TypeText(HWND window, const std::wstring& text) {
    for (wchar_t c : text) SendMessageW(window, WM_CHAR, c, 1);
}

void PressKey(HWND window, UINT virtualKey, wchar_t character) {
    UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (1L << 30) | (1L << 31);
    SendMessageW(window, WM_KEYDOWN, virtualKey, down);
    if (IsWindow(window)) SendMessageW(window, WM_CHAR, character, down);
    if (IsWindow(window)) SendMessageW(window, WM_KEYUP, virtualKey, up);
}

std::wstring TextOf(HWND window) {
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data());
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

RECT RectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    HWND parent = GetParent(window);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool HasStyle(HWND window, DWORD style) {
    return (static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & style) == style;
}

std::string ProviderAddress() {
    const char* address = std::getenv("VANTLO_PROVIDER");
    return address ? address : "";
}

}  // namespace wintest
