#include "signin/signin_flow.h"

#include "app/app.h"
#include "app/texts.h"
#include "platform/text.h"
#include "platform/ui_seams.h"
#include "session/provider_directory.h"
#include "signin/saved_accounts.h"
#include "signin/signin_state.h"

namespace signin {
namespace {

constexpr wchar_t kNoticeCaption[] = L"提示";

// Numbers every attempt of the run, so the late answer of a stalled
// provider to an earlier window's attempt is told apart.
unsigned attempts = 0;

// Only a refused password is typed again: after any other failure the
// password stays, so trying once more is one key.
void SignInFailed(const SignInControls& c, const std::string& text) {
    ui::ShowMessage(c.window, platform::Utf8ToWide(text), kNoticeCaption, MB_OK | MB_ICONWARNING);
    bool wrongPassword = text == app::kWrongPasswordText;
    if (wrongPassword) SetWindowTextW(c.passwordBox, L"");
    std::wstring typed(static_cast<std::size_t>(GetWindowTextLengthW(c.passwordBox)) + 1, L'\0');
    typed.resize(static_cast<std::size_t>(GetWindowTextW(c.passwordBox, typed.data(), static_cast<int>(typed.size()))));
    SetInputsReadOnly(c, false);
    SetFocus(c.passwordBox);
    // The focus brings the saved password; after any other failure the
    // password typed stands.
    if (!wrongPassword) SetWindowTextW(c.passwordBox, typed.c_str());
}

void SignInEnded(unsigned attempt, const std::string& account, const std::string& password,
                 const app::SignInOutcome& outcome) {
    SignInWindowState& s = TheSignInWindow();
    if (attempt != s.attempt || !IsWindow(s.controls.window)) return;  // the window went meanwhile
    s.signingIn = false;
    const SignInControls& c = s.controls;
    // A wrong password, an unreachable provider and a refused certificate
    // each say so: the user's next step differs.
    if (!outcome.outcome.Ok()) {
        SignInFailed(c, app::SignInFailureText(outcome.outcome));
        return;
    }
    s.signInSucceeded = true;
    ShowWindow(c.window, SW_HIDE);
    SaveAccount(password, account, CheckedOptions(c));
    if (s.onSignedIn) s.onSignedIn(outcome.account);
    DestroyWindow(c.window);
}

}  // namespace

void CheckDomainAndSignIn(const std::string& account, const std::string& password) {
    SignInWindowState& s = TheSignInWindow();
    const SignInControls& c = s.controls;
    if (s.signingIn) return;
    bool known = app::KindOf(account) == app::AccountKind::Imap ? app::ReadImapAccount(account).has_value()
                                                                : session::EntryForAccount(account) != 0;
    if (!known) {
        SetInputsReadOnly(c, false);
        ui::ShowMessage(c.window, platform::Utf8ToWide(app::UnsupportedDomainText()), kNoticeCaption, MB_OK);
        return;
    }
    unsigned attempt = s.attempt = ++attempts;
    s.signingIn = true;
    bool started = app::SignInAsync(account, password, [attempt, account, password](const app::SignInOutcome& o) {
        SignInEnded(attempt, account, password, o);
    });
    if (!started) {
        s.signingIn = false;
        SignInFailed(c, app::kWorkNotStartedText);
    }
}

bool SignInRunning() {
    return TheSignInWindow().signingIn;
}

}  // namespace signin
