// Sign-in: the account and password go to the central sign-in server, whose
// cookies then open a session at the entry server of the account's domain.
// Fills the Session's cookies, sid, webmail host and account name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "session/session.h"
#include "session/status.h"

namespace session {

// The longest account (domain included) and password a sign-in takes, in
// bytes; the requests have room for both even when every byte must be
// percent-encoded.
constexpr std::size_t kLongestAccount = 63;
constexpr std::size_t kLongestPassword = 64;

// account: the address as typed, domain included (ANSI code page); entry: 1..3.
// Ok, one of the sign-in's own answers (SignInRefused for a wrong password,
// UnsupportedDomain, AccountTooLong, PasswordTooLong, PasswordEmpty,
// InsecureRedirect), Unreadable for an answer that lacks a piece or does not
// fit, or the status of the exchange that failed (ConnectFailed,
// CertificateRefused, TimedOut...).
Status SignIn(Session& session, const std::string& account, int entry, const std::string& password);

// Request texts, exposed so that their exact bytes can be checked.
std::string BuildSignInRequest(const Session& session, const std::string& account, int entry,
                               const std::string& password);
std::string BuildEntryRequest(const Session& session, const std::string& account, int entry);

// Readers of the two answers (exposed for tests and fuzzing): fill the
// Session's fields from the answer's header.
Status ReadSignInAnswer(Session& session, std::string_view answer);
Status ReadEntryAnswer(Session& session, std::string_view answer);

// Percent-encodes a form value: everything but letters, digits and "-_.~@".
std::string FormEncode(const std::string& value);

}  // namespace session
