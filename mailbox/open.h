// Opening the mailbox for any front end: the IMAP store, or the webmail
// store over a fresh sign-in that signs in again by itself when the
// provider ends the session (FA_INVALID_SESSION).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "catalog/mail_store.h"
#include "mailbox/options.h"
#include "webmail/webmail_store.h"

namespace mailbox {

// Gives the password when it is first needed (e.g. read from standard input).
using PasswordSource = std::function<std::string()>;

// The sign-in-again hook of a webmail store and its forks: signs in with
// `password`, or the one `source` gives the first time (a session taken
// from the cache came without one), and keeps the new session in
// `sessionCache` when that is not empty. Safe to run on several threads.
webmail::SignInAgain SignInAgainHook(const std::string& account, const std::string& password, PasswordSource source,
                                     const std::filesystem::path& sessionCache);

// Applies the options that bound and route a webmail session.
void ApplyToSession(const MailboxOptions& options, session::Session& session);

// Signs in on the options' account with `password` and opens its store.
catalog::Outcome OpenMailbox(const MailboxOptions& options, const std::string& password,
                             std::unique_ptr<catalog::MailStore>& store);

}  // namespace mailbox
