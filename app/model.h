// The desktop's own copy of the folder list the provider sent. The session's
// folder table is filled on a worker and copied into these values there; the user-interface thread only ever
// reads the copies, so no table is shared between threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session/tables.h"

namespace app {

struct Folder {
    std::string id;    // decimal text
    std::string name;  // UTF-8
    std::string messageCount;
    std::string unreadCount;
};
using FolderList = std::vector<Folder>;

// The rows of a table, from row 0 up to the first row with an empty key cell.
FolderList FoldersOf(const session::FolderTable& table);

// A folder id text read as a decimal number: digits only, at most 19 of
// them; nothing otherwise.
std::optional<std::uint64_t> ReadFolderId(const std::string& id);

}  // namespace app
