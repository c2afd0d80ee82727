// The files a download writes beside its target, and how it claims them.
//
// The file is put together in TARGET.vantlo-partial and a record of the
// parts verified so far is kept in TARGET.vantlo-partial.verified (TARGET
// with its symbolic links followed: the file replaced at the end, so a link
// stays a link). No name from a mailbox holds ".vantlo-partial" (see
// local_name.h), so no stored file is ever written over these. Whatever
// stands in their place and is not a regular file of this user (a link, a
// directory, a pipe, someone else's file) is set aside under a new name,
// never written through and never deleted. The partial file takes the
// target's permission bits (0600 for a new target) from the moment it is
// created, so a download into a private file is never readable by others.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/outcome.h"
#include "platform/local_file.h"

namespace catalog {

struct LocalTarget {
    std::filesystem::path written;    // replaced at the end
    std::filesystem::path temporary;  // written + ".vantlo-partial"
    std::filesystem::path record;     // temporary + ".verified"
    unsigned mode = 0600;             // permission bits the file gets
};

// Refuses a target that is a directory, holds a NUL or is named like our
// temporary files.
Outcome PlanLocalTarget(const std::filesystem::path& target, LocalTarget& local);

// Moves anything at `path` that is not a regular file of this user out of
// the way, to PATH.set-aside (or PATH.set-aside-N); `setAside` gets the new
// name. Success when the way is clear or holds a file of ours.
Outcome SetAsideForeign(const std::filesystem::path& path, std::vector<std::filesystem::path>& setAside);

// Opens our file at `path` (a regular file of this user) or creates it
// new; `fresh` empties an existing one. Either way it ends with `mode`.
Outcome OpenOwnFile(const std::filesystem::path& path, unsigned mode, bool fresh, platform::LocalFile& file);

// Reads the whole of a small file of ours; false when it is missing, not
// ours or longer than `limit`.
bool ReadOwnFile(const std::filesystem::path& path, std::size_t limit, std::string& bytes);

// Whether bytes [offset, offset + size) of the file have the SHA-256.
bool RangeMatches(const platform::LocalFile& file, std::uint64_t offset, std::uint64_t size, const std::string& sha256);

// Gives the finished temporary file the mode and puts it in the target's place.
Outcome ReplaceTarget(const LocalTarget& local, platform::LocalFile& temporary);

}  // namespace catalog
