// The sign-in window itself: its class, creation and loop, and the messages
// of the window (painting, dragging, the caption labels).
#include <windows.h>

#include "app/window_look.h"
#include "platform/win_handles.h"
#include "signin/signin_flow.h"
#include "signin/signin_state.h"

namespace signin {
namespace {

constexpr int kProgramIcon = 101;
constexpr int kCreatedRegionEllipse = 7;
constexpr int kPaintedRegionEllipse = 13;
constexpr COLORREF kOutlineColour = RGB(0, 0, 0);

SignInWindowState signInWindow;

void RegisterSignInClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = SignInWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIcon));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = ui::BackgroundBrush();
    windowClass.lpszClassName = kSignInClassName;
    // A second registration in the same process (tests) fails harmlessly.
    RegisterClassW(&windowClass);
}

LRESULT OnCreate(HWND window) {
    signInWindow.controls.window = window;
    CreateSignInControls(window, signInWindow);
    SetPropA(window, kWindowMarkProperty, reinterpret_cast<HANDLE>(1));
    return 0;
}

void OnDestroy(HWND window) {
    RemovePropA(window, kWindowMarkProperty);
    PostQuitMessage(0);
}

void OnPaint(HWND window) {
    ui::SetRoundRegion(window, kPaintedRegionEllipse);
    RECT client{};
    GetClientRect(window, &client);
    ui::PaintScope paint(window);
    ui::DrawDoubleOutline(paint.Dc(), client.right, client.bottom, kOutlineColour, kOutlineColour);
}

// Clicks on the caption labels (static controls send STN_CLICKED, code 0).
bool OnLabelCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != STN_CLICKED || lParam == 0) return false;
    HWND sender = reinterpret_cast<HWND>(lParam);
    const SignInControls& c = signInWindow.controls;
    if (sender == c.closeLabel) {
        // Ends the loop at once; the window is left for the process's end.
        PostQuitMessage(0);
    } else if (sender == c.fileLabel) {
        ShowFileMenu(c);
    } else if (sender == c.helpLabel) {
        ShowHelpMenu(c);
    } else {
        return false;
    }
    return true;
}

// While the provider answers a sign-in, the pointer says so over the
// whole window.
bool OnSetCursor() {
    if (!SignInRunning()) return false;
    SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
    return true;
}

}  // namespace

SignInWindowState& TheSignInWindow() {
    return signInWindow;
}

const SignInControls& CurrentSignInControls() {
    return signInWindow.controls;
}

bool SignInSucceeded() {
    return signInWindow.signInSucceeded;
}

LRESULT CALLBACK SignInWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_COMMAND:
        if (OnLabelCommand(wParam, lParam)) return 0;
        break;
    case WM_CTLCOLORSTATIC: return reinterpret_cast<LRESULT>(ui::PaintControlBackground(reinterpret_cast<HDC>(wParam)));
    case WM_SETCURSOR:
        if (OnSetCursor()) return TRUE;
        break;
    case WM_LBUTTONDOWN: signInWindow.drag.ButtonDown(window, lParam); return 0;
    case WM_MOUSEMOVE: signInWindow.drag.MouseMove(window, wParam, lParam); return 0;
    case WM_LBUTTONUP: signInWindow.drag.ButtonUp(); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateSignInWindow(HINSTANCE instance, SignedIn onSignedIn) {
    signInWindow = SignInWindowState{};
    signInWindow.onSignedIn = std::move(onSignedIn);
    RegisterSignInClass(instance);
    int x = (GetSystemMetrics(SM_CXSCREEN) - kSignInWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - kSignInHeight) / 2;
    HWND window = CreateWindowExW(0, kSignInClassName, L"Vantlo", WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX,
                                  x, y, kSignInWidth, kSignInHeight, nullptr, nullptr, instance, nullptr);
    if (!window) return nullptr;
    const SignInControls& c = signInWindow.controls;
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EnableWindow(c.settingsButton, FALSE);
    EnableWindow(c.advancedButton, FALSE);
    ui::SetRoundRegion(window, kCreatedRegionEllipse);
    FillAccountBox(c);
    // Typing starts in the account box, never in the password by chance.
    SetFocus(c.accountBox);
    return window;
}

bool TranslateSignInKey(MSG& message) {
    HWND window = signInWindow.controls.window;
    if (!window || !IsWindow(window)) return false;
    if (message.hwnd != window && !IsChild(window, message.hwnd)) return false;
    bool key = message.message == WM_KEYDOWN || message.message == WM_CHAR || message.message == WM_KEYUP;
    if (!key || message.wParam == VK_RETURN || message.wParam == VK_ESCAPE) return false;
    return IsDialogMessageW(window, &message) != FALSE;
}

int RunSignInLoop() {
    signInWindow.signInSucceeded = false;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateSignInKey(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return signInWindow.signInSucceeded ? 0 : 1;
}

int RunSignInWindow(HINSTANCE instance, SignedIn onSignedIn) {
    if (!CreateSignInWindow(instance, std::move(onSignedIn))) return 1;
    return RunSignInLoop();
}

}  // namespace signin
