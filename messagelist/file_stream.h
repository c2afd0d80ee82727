// A read-only IStream over a file that goes away with the stream: the
// fetched copy of a dragged file is read by the shell through it and
// deleted when the shell lets it go.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <filesystem>

namespace messagelist {

// Opens `path` to be deleted when the stream is released (the stream then
// holds the only handle); `name` is what Stat reports. Null when the file
// does not open, and the file is then deleted here.
IStream* OpenPassingFileStream(const std::filesystem::path& path, const std::wstring& name);

}  // namespace messagelist
