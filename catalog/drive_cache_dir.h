// The directory a drive keeps its pending stores, copies and times in. A
// drive empties and rewrites parts of it, so it takes only a directory that
// is new, empty, or marked as a drive's own by an earlier run: a directory
// the user named that already holds other things is refused, never cleared.
// The directory taken is made private (0700).
#pragma once

#include <filesystem>
#include <string>

namespace catalog {

// The file that marks a directory as a drive's cache.
constexpr const char* kCacheDirMarker = "vantlo-cache";

// Creates `dir` when needed and marks it as ours. `isDefault`: the path is
// the drive's own default (an earlier version left it unmarked, so its
// known entries are taken as ours). False, with `problem` said for a
// person, when the directory is someone else's or cannot be written.
bool ClaimCacheDir(const std::filesystem::path& dir, bool isDefault, std::string& problem);

}  // namespace catalog
