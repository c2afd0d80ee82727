// What the shell is told about files dragged out of the list: one entry per
// row that can be fetched, named so that a drop creates exactly one file in
// the folder it lands on, whatever the mailbox called it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/file_list.h"

namespace messagelist {

struct DraggedFile {
    std::string key;  // to fetch it by
    std::wstring name;
    bool sizeKnown = false;
    std::uint64_t size = 0;
    std::int64_t time = 0;  // its own time, else when it was stored (UTC seconds); 0: unknown
};

// The rows at these items that carry a file, in item order. Two rows whose
// names come out the same get "name (2).ext" for the second.
std::vector<DraggedFile> DraggedFiles(const app::FileList& files, const std::vector<std::size_t>& items);

// A stored name as a name to create: kept when the local-name rule takes
// it; else its unsafe characters replaced as the save dialog does, and a
// name that still names a directory or a device, ends with a dot or a
// space, or is our temporary files' gets a "_" in front or loses the end.
// It never holds a separator, a NUL or a reserved character, and fits in a
// file descriptor's name.
std::wstring DroppedName(const std::string& stored);

}  // namespace messagelist
