// Folder names on the wire: IMAP's modified UTF-7.
#pragma once

#include <string>

namespace imap {

// Folder names: UTF-8 <-> modified UTF-7. Decoding fails on malformed input.
std::string EncodeMailboxName(const std::string& utf8);
bool DecodeMailboxName(const std::string& name, std::string& utf8);

// A level of a folder path never holds the server's hierarchy delimiter nor
// "/" (the drive's own separator): each is stored as "／" (U+FF0F), so a
// name stays one level on every server. `delimiter` 0: the server cannot nest.
std::string LevelOfName(const std::string& name, char delimiter);

// "a/b/c" -> parent "a/b", leaf "c"; no parent at the top or without a delimiter.
struct MailboxPath {
    std::string parent;
    std::string leaf;
};
MailboxPath SplitMailboxPath(const std::string& path, char delimiter);

}  // namespace imap
