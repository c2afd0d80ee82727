// The desktop's own copy of the folder list the mailbox sent, as the
// windows show it (folder_ids.h); the user-interface thread's only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace app {

struct Folder {
    std::string id;    // decimal text
    std::string name;  // UTF-8
    std::string messageCount;
    std::string unreadCount;
    std::string parentId{};  // the folder it is nested in, by its number; empty at the top
};
using FolderList = std::vector<Folder>;

// A folder id text read as a decimal number: digits only, at most 19 of
// them; nothing otherwise.
std::optional<std::uint64_t> ReadFolderId(const std::string& id);

}  // namespace app
