// The accounts that signed in with "记住密码" checked, their passwords, the
// account that signed in last, and the two check boxes of the sign-in
// window, kept in the registry between runs.
//
// Where: the keys "SOFTWARE\Vantlo" (options) and "SOFTWARE\Vantlo\UserList"
// (accounts) under HKEY_CURRENT_USER. Earlier versions kept the same keys
// under HKEY_LOCAL_MACHINE (in its 32-bit view), where a program that runs
// as the invoking user cannot write, and stored the passwords as plain text
// that every user of the machine could read. Those keys are still read while
// the per-user keys do not exist, and the first change copies them into the
// per-user keys, so nothing saved before is lost.
//
// Account key values: the unnamed value names the last account (REG_SZ);
// every other value is named by an account address exactly as typed, and
// holds that account's password protected for the current user (REG_BINARY,
// see password_protection.h). A REG_SZ password is plain text from an
// earlier version and is still read. Texts are in the ANSI code page and are
// written without a terminating zero. A name must fit in 63 bytes, a
// password in kPasswordMax (every password the sign-in window takes is
// remembered); longer ones are treated as unreadable and never read past.
//
// All of this runs on the user-interface thread. Registry failures are not
// reported: what cannot be written is missing at the next start.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace signin {

constexpr char kOptionsKeyPath[] = "SOFTWARE\\Vantlo";
constexpr char kAccountKeyPath[] = "SOFTWARE\\Vantlo\\UserList";
constexpr char kStorePasswordValue[] = "bStorePwd";
constexpr char kUseSecureValue[] = "bUseSecure";

// Stored texts are read into buffers of this size: 63 bytes and a zero.
constexpr std::size_t kStoredTextCapacity = 64;
// The longest password: the most the sign-in button reads from the box.
constexpr std::size_t kPasswordMax = 66;
// The password out buffers hold 17 bytes and a zero; a longer saved password
// is cut (never split inside a double-byte character).
constexpr std::size_t kPasswordOutCapacity = 18;

// Roots of the store; the legacy one is only read (and copied from).
inline const HKEY kStoreRoot = HKEY_CURRENT_USER;
inline const HKEY kLegacyStoreRoot = HKEY_LOCAL_MACHINE;
constexpr REGSAM kLegacyView = KEY_WOW64_32KEY;

enum class StoreStatus : int {
    Read = 0,          // the account key was read
    CannotOpen = 1,    // the account key exists but could not be opened
    NoAccountKey = 2,  // nothing has ever been remembered
};

// The two check boxes of the sign-in window.
struct SignInOptions {
    bool remember = false;  // "记住密码"
    bool secure = true;     // "增强安全"
};

// Fills `names` (appended in order) with the remembered accounts, the last
// account first, then the others in the registry's enumeration order, and
// puts the last account's password into passwordOut.
StoreStatus LoadSavedAccounts(std::vector<std::string>& names, char (&passwordOut)[kPasswordOutCapacity]);

// Puts the saved password of `account` into passwordOut, or an empty text
// when there is none. When the account key does not exist (NoAccountKey) or
// cannot be opened, passwordOut is left as it was.
StoreStatus LookUpSavedPassword(const std::string& account, char (&passwordOut)[kPasswordOutCapacity]);

// The saved password of `account` whole (up to kPasswordMax bytes), as the account
// box's drop-down list shows it; empty when there is none.
std::string ReadSavedPassword(const std::string& account);

// The options stored at the last successful sign-in; the defaults (remember
// unchecked, secure checked) when none were ever stored.
SignInOptions ReadSignInOptions();

// After a successful sign-in: remembers the account with its password (or
// forgets it, when the remember box is unchecked), then stores both options
// if the options key exists.
void SaveAccount(const std::string& password, const std::string& account, const SignInOptions& boxes);

// Deletes the account's password; if it was the last account, the first
// other remembered account becomes the last one (or the last account is
// left empty).
void ForgetAccount(const std::string& account);

}  // namespace signin
