// The replaced procedures of the group box (the sign-in button's click and
// the colours inside the box) and of the account and password boxes (Tab,
// Enter, the focus of the password box and the drop-down list's choice).
#include <vector>

#include "platform/text.h"
#include "signin/saved_accounts.h"
#include "signin/signin_flow.h"
#include "signin/signin_state.h"

namespace signin {
namespace {

constexpr std::size_t kAnyLength = static_cast<std::size_t>(-1);

std::wstring ItemText(HWND comboBox, LRESULT index) {
    LRESULT length = SendMessageW(comboBox, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length <= 0) return {};
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(comboBox, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    return std::wstring(text.data());
}

std::wstring WindowTextWide(HWND window) {
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return std::wstring(text.data());
}

// The window's text in the ANSI code page: at most maxUnits UTF-16 units
// are taken, and the result is cut to maxBytes.
std::string WindowTextAnsi(HWND window, std::size_t maxUnits, std::size_t maxBytes) {
    std::wstring wide = WindowTextWide(window);
    if (wide.size() > maxUnits) wide.resize(maxUnits);
    return platform::CutAnsi(platform::WideToAnsi(wide), maxBytes);
}

void SetPasswordText(const SignInControls& c, const std::string& ansi) {
    SetWindowTextW(c.passwordBox, platform::AnsiToWide(ansi).c_str());
}

// The account the password box belongs to: the chosen item, else the text.
std::string CurrentAccount(const SignInControls& c) {
    LRESULT index = SendMessageW(c.accountBox, CB_GETCURSEL, 0, 0);
    if (index != CB_ERR) return platform::CutAnsi(platform::WideToAnsi(ItemText(c.accountBox, index)), kAccountTextMax);
    return WindowTextAnsi(c.accountBox, kAnyLength, kAccountTextMax);
}

// The password box got the focus: it shows the saved password of the
// account, or nothing.
void OnPasswordFocus(const SignInControls& c) {
    char password[kPasswordOutCapacity] = {};
    LookUpSavedPassword(CurrentAccount(c), password);
    SetPasswordText(c, password);
}

// Enter in the account box confirms the chosen item and moves on. The item
// is chosen again only while the box still shows it: choosing an item
// replaces the box's text, and a typed account must survive the Enter.
void OnAccountEnter(const SignInControls& c) {
    LRESULT index = SendMessageW(c.accountBox, CB_GETCURSEL, 0, 0);
    if (index != CB_ERR && ItemText(c.accountBox, index) == WindowTextWide(c.accountBox))
        SendMessageW(c.accountBox, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SetFocus(c.passwordBox);
}

// An account was chosen in the drop-down list.
void OnAccountChosen(const SignInControls& c) {
    LRESULT index = SendMessageW(c.accountBox, CB_GETCURSEL, 0, 0);
    std::string account = index == CB_ERR
                              ? std::string()
                              : platform::CutAnsi(platform::WideToAnsi(ItemText(c.accountBox, index)), kAccountTextMax);
    SetPasswordText(c, ReadSavedPassword(account));
}

// Enter in the password box signs in.
void OnPasswordEnter(const SignInControls& c) {
    if (SignInRunning()) return;
    SetInputsReadOnly(c, true);
    CheckDomainAndSignIn(WindowTextAnsi(c.accountBox, kTypedUnitsMax, kAccountTextMax),
                         WindowTextAnsi(c.passwordBox, kTypedUnitsMax, kPasswordTextMax));
}

// The sign-in button was clicked.
void OnSignInButton(const SignInControls& c) {
    ReleaseCapture();
    if (SignInRunning()) return;
    SetInputsReadOnly(c, true);
    CheckDomainAndSignIn(WindowTextAnsi(c.accountBox, kAnyLength, kAccountTextMax),
                         WindowTextAnsi(c.passwordBox, kAnyLength, kButtonPasswordTextMax));
}

WNDPROC OwnProcOf(const SignInWindowState& s, HWND window) {
    if (window == s.controls.accountEdit) return s.accountEditProc;
    if (window == s.controls.accountBox) return s.accountBoxProc;
    return s.passwordBoxProc;
}

}  // namespace

LRESULT CALLBACK SignInGroupProc(HWND group, UINT message, WPARAM wParam, LPARAM lParam) {
    SignInWindowState& s = TheSignInWindow();
    WNDPROC own = s.groupProc;
    switch (message) {
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == s.controls.signInButton && HIWORD(wParam) == BN_CLICKED)
            OnSignInButton(s.controls);
        break;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC: return reinterpret_cast<LRESULT>(ui::PaintControlBackground(reinterpret_cast<HDC>(wParam)));
    }
    return CallWindowProcW(own, group, message, wParam, lParam);
}

LRESULT CALLBACK SignInInputProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SignInWindowState& s = TheSignInWindow();
    const SignInControls& c = s.controls;
    WNDPROC own = OwnProcOf(s, window);
    if (window == c.passwordBox) {
        if (message == WM_SETFOCUS && GetFocus() == window) OnPasswordFocus(c);
        if (message == WM_CHAR && wParam == VK_RETURN) OnPasswordEnter(c);
    } else if (window == c.accountEdit) {
        if (message == WM_CHAR && wParam == VK_TAB) SetFocus(c.passwordBox);
        if (message == WM_CHAR && wParam == VK_RETURN) OnAccountEnter(c);
    } else if (window == c.accountBox) {
        if (message == WM_COMMAND && HIWORD(wParam) == LBN_SELCHANGE && LOWORD(wParam) != 0) OnAccountChosen(c);
    }
    return CallWindowProcW(own, window, message, wParam, lParam);
}

}  // namespace signin
