// A local file's modification time as the manifest keeps it (UTC seconds)
// and back. The file system's clock has an epoch of its own; the two differ
// by a whole number of seconds, measured once.
#pragma once

#include <cstdint>
#include <filesystem>

namespace catalog {

std::int64_t UtcSecondsOf(std::filesystem::file_time_type time);
std::filesystem::file_time_type FileTimeOf(std::int64_t utcSeconds);

// Gives a file written from the mailbox the time its manifest keeps; 0
// (a file stored without one) leaves the time of writing. A time that
// cannot be set does not undo a download that is whole.
void KeepStoredTime(const std::filesystem::path& file, std::int64_t utcSeconds);

}  // namespace catalog
