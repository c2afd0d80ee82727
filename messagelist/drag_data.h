// The data object of a drag out of the list, as the shell takes virtual
// files: the files' descriptors (CFSTR_FILEDESCRIPTORW: names, sizes,
// times) and each file's bytes (CFSTR_FILECONTENTS, lindex = which file).
// Nothing is fetched before the drop: the bytes are asked for file by file,
// and each is then fetched whole, every part checked, into a temporary file
// that the stream handed out reads and takes away with it. A fetch that
// fails is an error for that file, never a short or unchecked stream.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <vector>

#include "app/desktop.h"
#include "messagelist/drag_files.h"

namespace messagelist {

// One reference, the caller's.
IDataObject* NewDragData(std::vector<DraggedFile> files, app::Desktop::FileFetch fetch);

}  // namespace messagelist
