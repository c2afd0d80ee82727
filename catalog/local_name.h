// The one rule for turning a stored file's name (which came from a mailbox,
// so anyone who can send the account a mail chose it) into the name of a
// file on a local disk. Every front end that writes a file named after a
// stored one goes through it: get into a directory, the mount, the desktop's
// save dialog, the WebDAV server.
//
// Names that could reach outside the directory or cut a path short are
// refused: empty, ".", "..", any "/" or "\", a NUL. So are names that
// `put` would never store and that would show one thing and be another
// (line breaks, tabs and every other control character, DEL, and the
// Unicode marks that reorder text on screen), and names kept for our own
// temporary files. Such a file is still there to fetch under a name the
// user gives; the refusal shows the stored name escaped so that it can be
// read and told apart. Pure text work, the same on every system except for
// what Windows also forbids (its reserved characters and device names,
// a trailing dot or space).
#pragma once

#include <string>
#include <string_view>

#include "catalog/outcome.h"

namespace catalog {

enum class LocalNameRules { Posix, Windows };

#ifdef _WIN32
constexpr LocalNameRules kHostNameRules = LocalNameRules::Windows;
#else
constexpr LocalNameRules kHostNameRules = LocalNameRules::Posix;
#endif

// Our own temporary files beside the file they become end with this (the
// record of verified parts with ".verified" after it); no name a mailbox
// gives is taken when it holds it, so no stored file can be written over one.
constexpr std::string_view kPartialSuffix = ".vantlo-partial";

// Success with `local` set to the name to write, or Refused saying why,
// with the name shown escaped. `local` is the stored name unchanged when
// it is taken: no name is ever rewritten into another.
Outcome LocalNameFor(std::string_view stored, std::string& local, LocalNameRules rules = kHostNameRules);

// The name with every byte or mark that could hide or mislead shown as an
// escape: \0, \t, \r, \n, \xNN for other control bytes and bytes that are
// not UTF-8, \u{202E} for the reordering marks, and "\\" for a backslash.
// Plain characters stay as they are; the result is one printable line.
std::string EscapedName(std::string_view name);

// Whether the name holds the mark of our temporary files and of what is set
// aside in their way (ASCII letters in any case, as a Windows or macOS disk
// compares them).
bool IsTemporaryFileName(std::string_view name);

}  // namespace catalog
