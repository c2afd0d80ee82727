// What happens when the user signs in: the domain check, the sign-in
// exchange on a worker, then saving the account and handing the session to
// the program.
#pragma once

#include <cstddef>
#include <string>

#include "signin/saved_accounts.h"

namespace signin {

// The texts the window reads are cut to these many bytes (ANSI code page).
constexpr std::size_t kAccountTextMax = 63;
constexpr std::size_t kPasswordTextMax = 32;                  // Enter in the password box
constexpr std::size_t kButtonPasswordTextMax = kPasswordMax;  // the sign-in button
constexpr std::size_t kTypedUnitsMax = 99;                    // UTF-16 units taken on Enter

// With the inputs read-only: an unsupported domain gets the "提示" notice
// and the inputs back; otherwise the sign-in starts and the inputs stay
// read-only until it has ended. Does nothing while a sign-in runs.
void CheckDomainAndSignIn(const std::string& account, const std::string& password);

// True while a sign-in exchange runs.
bool SignInRunning();

}  // namespace signin
