// Where a front end keeps what it remembers of an account between runs:
// the manifest cache, the kept session, the mount's copies and journal.
#pragma once

#include <filesystem>
#include <string>

#include "mailbox/options.h"

namespace mailbox {

// The user's cache directory for the program: $XDG_CACHE_HOME/vantlo (an
// absolute one only), else ~/.cache/vantlo; %LOCALAPPDATA%\Vantlo on
// Windows. Empty when there is none.
std::filesystem::path UserCacheDir();

// The options' cache directory: --cache-dir, else UserCacheDir().
std::filesystem::path CacheDir(const MailboxOptions& options);

// A mail address (or any text) as one file name every file system takes:
// letters folded to lower case; all but letters, digits and "@.-_" as "_".
std::string FoldedName(const std::string& text);

// The account's file with `ending` (".manifests", ".session") in the
// options' cache directory; empty when there is none.
std::filesystem::path AccountCachePath(const MailboxOptions& options, const char* ending);

}  // namespace mailbox
