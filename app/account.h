// The account the desktop works on after the sign-in: a webmail account of
// the provider, or any IMAP mailbox, both as one catalog::MailStore.
//
// An IMAP account is typed into the sign-in window's account box as
// "imaps://USER@HOST:PORT" (or "imap://USER@HOST:PORT", STARTTLS; plain only
// towards loopback): the box keeps its look, the saved-accounts store keeps
// the text as typed, and so remembers which kind the account is.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "catalog/mail_store.h"

namespace app {

enum class AccountKind { Webmail, Imap };

struct ImapAccount {
    std::string url;   // scheme://HOST:PORT
    std::string user;  // what the server signs in
};

// The IMAP account a typed text names: a scheme, a user (which may hold '@'
// itself: the last '@' ends it), a host and a port. Nothing otherwise.
std::optional<ImapAccount> ReadImapAccount(const std::string& typed);
AccountKind KindOf(const std::string& typed);

struct SignedInAccount {
    AccountKind kind = AccountKind::Webmail;
    std::string name;  // as typed (ANSI code page)
    // Signed in; the desktop forks it for its lanes. A webmail store signs
    // in again by itself when the provider ends the session.
    std::unique_ptr<catalog::MailStore> store;
    // The provider's address for tests and the demo (the notice is fetched
    // there); empty: the built-in one or VANTLO_PROVIDER.
    std::string providerOverride;
};

// Signs in to the account the typed text names, on the calling thread.
// `providerOverride` as in SignedInAccount. A webmail account whose domain
// is not one of the provider's is refused (NotFound).
catalog::Outcome OpenAccount(const std::string& typed, const std::string& password, const std::string& providerOverride,
                             SignedInAccount& account);

}  // namespace app
