#include "mainwindow/main_window.h"

#include <string>

#include "platform/text.h"
#include "session/cells.h"
#include "signin/app_state.h"
#include "signin/ui_colours.h"

namespace {

constexpr wchar_t kMainClassName[] = L"mwndclass";
constexpr int kWidth = 420;
constexpr int kHeight = 160;

HWND mainWindow = nullptr;

LRESULT OnCreate(HWND window) {
    std::wstring text =
        L"Vantlo: " + platform::AnsiToWide(std::string(session::CellText(ui::TheSession().accountName)));
    HWND label =
        CreateWindowExW(0, L"Static", text.c_str(), WS_CHILD | WS_VISIBLE, 20, 40, kWidth - 60, 20, window, nullptr,
                        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)), nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_CTLCOLORSTATIC: return reinterpret_cast<LRESULT>(ui::PaintControlBackground(reinterpret_cast<HDC>(wParam)));
    case WM_DESTROY:
        mainWindow = nullptr;
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int CreateMainWindow(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(101));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = ui::BackgroundBrush();
    windowClass.lpszClassName = kMainClassName;
    RegisterClassW(&windowClass);
    int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
    mainWindow = CreateWindowExW(0, kMainClassName, L"Vantlo", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, kWidth, kHeight,
                                 nullptr, nullptr, instance, nullptr);
    return 0;
}

HWND MainWindowHandle() {
    return mainWindow;
}
