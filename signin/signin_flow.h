// What happens when the user signs in: the domain check, the sign-in
// exchange, saving the account and opening the main window.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace signin {

constexpr wchar_t kNoticeCaption[] = L"提示";
constexpr wchar_t kSignInFailedText[] = L"密码不正确或用户不存在";

// The folder refresh timer: a thread timer without window, started once the
// sign-in succeeded.
constexpr UINT_PTR kFolderRefreshTimerId = 1;
constexpr UINT kFolderRefreshPeriodMs = 60000;

// The texts the window reads are cut to these many bytes (ANSI code page).
constexpr std::size_t kAccountTextMax = 63;
constexpr std::size_t kPasswordTextMax = 32;        // Enter in the password box
constexpr std::size_t kButtonPasswordTextMax = 66;  // the sign-in button
constexpr std::size_t kTypedUnitsMax = 99;          // UTF-16 units taken on Enter

// 0 when the account signed in and the main window was created, else 1
// (after telling the user why).
int CheckDomainAndSignIn(const std::string& account, const std::string& password);

// 0 on success (the window is hidden and the folder refresh timer runs),
// 1 on failure of any kind (after the "密码不正确或用户不存在" message).
int TrySignIn(const std::string& password, int entry, const std::string& account);

// The "提示" text for an unsupported domain, with one example address per
// supported domain.
std::wstring UnsupportedDomainText();

// The id SetTimer gave the folder refresh timer; 0 before a sign-in.
UINT_PTR FolderRefreshTimerId();

}  // namespace signin
