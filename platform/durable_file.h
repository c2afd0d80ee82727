// Files that must survive a crash of the program or the machine: what is
// written is flushed to the disk before it counts (a journal of work still
// to do). POSIX: fsync and a synced directory; Windows: FlushFileBuffers
// and a write-through rename.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// Writes `bytes` beside `path`, flushes them and renames the result over
// `path`: a crash leaves the old file or the new one, never half of one.
bool ReplaceFileDurably(const std::filesystem::path& path, const std::string& bytes);

// Flushes to the disk what was written to the file at `path`.
bool SyncFile(const std::filesystem::path& path);

// Makes the names made, renamed or removed in `dir` durable (Windows keeps
// them with the files: nothing to do there).
void SyncDirectory(const std::filesystem::path& dir);

}  // namespace platform
