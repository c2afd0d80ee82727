#include "app/model.h"

#include "session/cells.h"

namespace app {

FolderList FoldersOf(const session::FolderTable& table) {
    FolderList folders;
    std::size_t used = session::UsedFolderRows(table);
    for (std::size_t i = 0; i < used; ++i) {
        const session::FolderRow& row = table.rows[i];
        folders.push_back(Folder{std::string(session::CellText(row.id)), std::string(session::CellText(row.name)),
                                 std::string(session::CellText(row.messageCount)),
                                 std::string(session::CellText(row.unreadMessageCount))});
    }
    return folders;
}

std::optional<std::uint64_t> ReadFolderId(const std::string& id) {
    if (id.empty() || id.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : id) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

}  // namespace app
