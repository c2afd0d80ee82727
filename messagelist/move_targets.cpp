#include "messagelist/move_targets.h"

#include "session/cells.h"

namespace messagelist {

std::optional<std::uint64_t> ReadFolderId(const char* cell, std::size_t capacity) {
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; digits < capacity && cell[digits] != '\0'; ++digits) {
        char c = cell[digits];
        if (c < '0' || c > '9' || digits == 19) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (digits == 0) return std::nullopt;
    return value;
}

MoveTargets MoveTargets::FromFolderTable(const session::FolderTable& table) {
    MoveTargets made;
    if (!table.rows) return made;
    for (std::size_t i = 0; i < session::kFolderRows && table.rows[i].name[0] != '\0'; ++i) {
        const session::FolderRow& row = table.rows[i];
        std::optional<std::uint64_t> id = ReadFolderId(row.id, sizeof row.id);
        if (!id || *id < kMovableFolderMinId) continue;
        unsigned command = kFirstMoveCommand + static_cast<unsigned>(made.targets_.size());
        made.targets_.push_back(MoveTarget{command, std::to_string(*id), std::string(session::CellText(row.name))});
    }
    return made;
}

std::optional<std::string> MoveTargets::FolderFor(unsigned command) const {
    if (!IsMoveCommand(command)) return std::nullopt;
    std::size_t index = command - kFirstMoveCommand;
    if (index >= targets_.size()) return std::nullopt;
    return targets_[index].folderId;
}

}  // namespace messagelist
