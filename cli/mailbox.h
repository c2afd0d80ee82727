// What the file commands share: the signed-in account as a catalog store,
// where its manifest cache lives, how a file is shown on one line and how
// a failed outcome is told.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/file_grouping.h"
#include "cli/command.h"
#include "webmail/webmail_store.h"

namespace cli {

// The mailbox the context signed in to: the IMAP store, or the webmail
// store over the signed-in session; that one (and its forks) signs in again
// by itself when the provider ends the session, with the password (read
// then, when the session came from the cache), and keeps the new session
// in the cache.
std::unique_ptr<catalog::MailStore> OpenStore(Context& context);

// The account's manifest cache: under $XDG_CACHE_HOME/vantlo (else
// ~/.cache/vantlo), %LOCALAPPDATA%\Vantlo on Windows. Empty when there is
// no such directory.
std::filesystem::path ManifestCachePath(const std::string& account);
// The account's kept session (session/session_cache.h), in the same place.
std::filesystem::path SessionCachePath(const std::string& account);

// Exact sizes for the files, through the account's manifest cache (read
// and written back when there is one).
catalog::Outcome FillSizes(Context& context, catalog::MailStore& store, std::vector<catalog::FileEntry>& files);

// NAME, SIZE, PARTS, STORED, KEY separated by tabs, with no line break:
// SIZE "-" when unknown; PARTS the number of parts, followed for an
// incomplete file by " incomplete: " and what keeps it from being whole;
// STORED in UTC, "-" when unknown.
std::string FileLine(const catalog::FileEntry& file);

// "vantlo-cli: could not WHAT: OUTCOME" on the error stream; kExitFailure.
int OutcomeFailed(Context& context, const catalog::Outcome& outcome, const std::string& what);

// Checks every key (a message id as the listings print it) before anything
// is sent; false after printing why not.
bool CheckKeys(Context& context, std::vector<std::string>::const_iterator first,
               std::vector<std::string>::const_iterator last);

// Arguments arrive as UTF-8 on every system (main takes them from the wide
// command line on Windows).
std::filesystem::path PathArgument(const std::string& utf8);
std::string Shown(const std::filesystem::path& path);

// A file given to put, into any folder: kExitOk, or Fail saying why not
// (no regular file, or a name put never stores: control characters or
// not UTF-8; sealing would hide it, opening would bring it back).
int CheckPutSource(Context& context, const std::filesystem::path& file);

}  // namespace cli
