// The desktop's own copies of what the provider listed: the folder list and
// the page of the open folder. The session's tables are filled on a worker
// and copied into these values there; the user-interface thread only ever
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

// One row of a page; every text as the provider sent it.
struct Message {
    std::string id;
    std::string size;
    std::string from;
    std::string subject;
    std::string sentDate;
    std::string receivedDate;
    std::string read;
    std::string attached;
};

struct Page {
    std::string folderId;
    std::vector<Message> rows;  // list item n shows rows[n]
};

// The rows of a table, from row 0 up to the first row with an empty key cell.
FolderList FoldersOf(const session::FolderTable& table);
std::vector<Message> MessagesOf(const session::MessageTable& table);

// A folder id text read as a decimal number: digits only, at most 19 of
// them; nothing otherwise.
std::optional<std::uint64_t> ReadFolderId(const std::string& id);

// True when a cell says "true" in any letter case.
bool IsTrueInAnyCase(const std::string& cell);

}  // namespace app
