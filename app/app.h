// The desktop program's process-wide pieces: the module instance, the common
// controls, the sign-in off the user-interface thread, and the one Desktop
// that lives from the sign-in to the end of the main window, with its two
// thread timers. User-interface thread only.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/account.h"
#include "app/desktop.h"

namespace app {

HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);
// Loads the common controls once (the manifest asks for version 6).
void InitialiseCommonControls();

struct SignInOutcome {
    catalog::Outcome outcome;
    std::shared_ptr<SignedInAccount> account;  // signed in when the outcome is Ok
};

// Signs in to the account typed (account.h) on a thread of its own; `done`
// runs on the user-interface thread. False, with `done` never called, when
// no thread would start.
bool SignInAsync(const std::string& account, const std::string& password,
                 std::function<void(const SignInOutcome&)> done);

// After a successful sign-in: the Desktop over the account, with the folder
// refresh timer (60 s; every tenth tick reloads the tree) running.
std::shared_ptr<Desktop> Start(SignedInAccount account);

// When the windows have gone: stops the timers, lets the desktop go and
// waits, at most `bound`, for the work still running (a sign-in included).
// True when none runs any more.
bool Stop(std::chrono::milliseconds bound);

}  // namespace app
