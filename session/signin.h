// Sign-in: the account and password go to the central sign-in server, whose
// cookies then open a session at the entry server of the account's domain.
// Fills the Session's cookies, sid, webmail host and account name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "session/session.h"

namespace session {

enum class SignInResult : int {
    Ok = 0,
    BadEntry = 1,                // entry number not 1, 2 or 3; nothing sent
    SignInServerUnreachable = 2, // connecting to the sign-in server failed
    Refused = 3,                 // wrong password or unknown user: no NTES_SESS
    SignInServerFailed = 4,      // the sign-in exchange broke off or timed out
    EntryServerUnreachable = 5,  // connecting to the entry server failed
    EntrySendFailed = 6,         // sending to the entry server failed
    EntryReceiveFailed = 7,      // receiving from the entry server failed
    AnswerMalformed = 8,         // an answer lacked a piece or did not fit
    EntryTimedOut = 9,           // the entry server did not answer in time
    SecureConnectionFailed = 10, // TLS refused: see LastTlsProblem(); nothing sent
    InsecureRedirect = 11,       // a TLS entry server pointed to plain-http webmail
    AccountTooLong = 12,         // longer than kLongestAccount bytes; nothing sent
    PasswordTooLong = 13,        // longer than kLongestPassword bytes; nothing sent
    PasswordEmpty = 14,          // no password given; nothing sent
};

// The longest account (domain included) and password a sign-in takes, in
// bytes; the requests have room for both even when every byte must be
// percent-encoded.
constexpr std::size_t kLongestAccount = 63;
constexpr std::size_t kLongestPassword = 64;

const char* SignInResultText(SignInResult result);

// account: the address as typed, domain included (ANSI code page); entry: 1..3.
SignInResult SignIn(Session& session, const std::string& account, int entry, const std::string& password);

// Request texts, exposed so that their exact bytes can be checked.
std::string BuildSignInRequest(const Session& session, const std::string& account, int entry,
                               const std::string& password);
std::string BuildEntryRequest(const Session& session, const std::string& account, int entry);

// Readers of the two answers (exposed for tests and fuzzing): fill the
// Session's fields from the answer's header.
SignInResult ReadSignInAnswer(Session& session, std::string_view answer);
SignInResult ReadEntryAnswer(Session& session, std::string_view answer);

// Percent-encodes a form value: everything but letters, digits and "-_.~@".
std::string FormEncode(const std::string& value);

}  // namespace session
