// The sign-in window: a small borderless, always-on-top window where the
// user picks or types the account, enters the password and signs in. It runs
// on the user-interface thread with its own message loop, before the main
// window exists; the sign-in exchange itself runs off that thread, so the
// window stays responsive while the provider answers.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "app/account.h"

namespace signin {

constexpr wchar_t kSignInClassName[] = L"lgwcls";
constexpr int kSignInWidth = 340;
constexpr int kSignInHeight = 105;
// Both windows of the program carry this property while they exist.
constexpr char kWindowMarkProperty[] = "MutexVantloWindow";

// The window and its controls, valid while the window exists.
struct SignInControls {
    HWND window = nullptr;
    HWND titleLabel = nullptr;
    HWND fileLabel = nullptr;
    HWND helpLabel = nullptr;
    HWND closeLabel = nullptr;
    HWND groupBox = nullptr;
    HWND accountCaption = nullptr;
    HWND passwordCaption = nullptr;
    HWND accountBox = nullptr;   // drop-down combo box
    HWND accountEdit = nullptr;  // the combo box's own edit control
    HWND passwordBox = nullptr;
    HWND rememberBox = nullptr;  // "记住密码"
    HWND secureBox = nullptr;    // "增强安全"
    HWND signInButton = nullptr;
    HWND settingsButton = nullptr;
    HWND advancedButton = nullptr;
};

// Called once an account has signed in and been saved, before the sign-in
// window goes: the program opens its main window over the account.
using SignedIn = std::function<void(std::shared_ptr<app::SignedInAccount>)>;

// Shows the sign-in window and runs its loop until the window goes away:
// 0 after a successful sign-in, 1 otherwise.
int RunSignInWindow(HINSTANCE instance, SignedIn onSignedIn);

// The two halves of RunSignInWindow, for callers that drive the window
// themselves (tests): create, place and fill the window; then run the loop
// until the quit message and tell whether the sign-in succeeded.
HWND CreateSignInWindow(HINSTANCE instance, SignedIn onSignedIn);
int RunSignInLoop();
// The window's keys, for its loop: Tab and Shift+Tab walk the account box,
// the password, the two options and the sign-in button; Space presses the
// button or option that has the focus. Enter keeps its own meaning in the
// two boxes. True when the message was taken.
bool TranslateSignInKey(MSG& message);

const SignInControls& CurrentSignInControls();
bool SignInSucceeded();

}  // namespace signin
