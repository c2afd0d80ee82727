// Whole-file reads and replacements that a crash cannot leave half done:
// the new content goes to a temporary file beside the target, is flushed,
// and then renamed over it.
#pragma once

#include <string>
#include <string_view>

namespace provider {

bool WriteFileAtomically(const std::string& path, std::string_view content);
bool ReadWholeFile(const std::string& path, std::string& content);
// mkdir -p; true when the directory exists afterwards.
bool MakeDirectories(const std::string& path);

}  // namespace provider
