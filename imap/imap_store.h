// The catalog's mailbox over any IMAP server. Parts are appended straight
// into their folder as MIME messages; folders are IMAP mailboxes.
//
// Ids: a folder's id is its full name in UTF-8 ("INBOX", "Files/2026");
// a mail's id is "FOLDER:UIDVALIDITY:UID", so an id outlives the
// connection, and one from before the server renumbered the folder is
// refused instead of naming another mail.
#pragma once

#include <memory>
#include <string>

#include "catalog/mail_store.h"

namespace imap {

struct StoreLimits {
    int idleTimeoutMs = 60000;     // the longest the server may stay silent
    std::size_t fetchBatch = 500;  // mails per FETCH when listing
};

// Connects to `url` (imaps://HOST:PORT, or imap://HOST:PORT with STARTTLS;
// plain only towards loopback), checks the certificate against the
// system's roots or only `caFile`, and signs in.
catalog::Outcome OpenStore(const std::string& url, const std::string& account, const std::string& password,
                           const std::string& caFile, const StoreLimits& limits,
                           std::unique_ptr<catalog::MailStore>& store);

}  // namespace imap
