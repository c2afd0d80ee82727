// Whole-file reads and replacements that a crash cannot leave half done:
// the new content goes to a temporary file beside the target, is flushed,
// and then renamed over it.
#pragma once

#include <string>
#include <string_view>

namespace provider {

bool WriteFileAtomically(const std::string& path, std::string_view content);
// A new file (never an existing one) with `content`, not yet flushed: many
// of them are flushed together with SyncFileSystem.
bool WriteNewFile(const std::string& path, std::string_view content);
// Flushes everything written to the file system that holds `path`.
bool SyncFileSystem(const std::string& path);
bool ReadWholeFile(const std::string& path, std::string& content);
// mkdir -p; true when the directory exists afterwards.
bool MakeDirectories(const std::string& path);

}  // namespace provider
