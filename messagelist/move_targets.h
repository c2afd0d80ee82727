// The folders the "移动到 =>" submenu offers, and the menu command of each.
//
// A menu command reaches the list as the low 16 bits of WM_COMMAND's wParam,
// so a folder id (the provider's user folders start at 65550) cannot be the
// command itself. Each offered folder gets a small command number instead,
// counted from kFirstMoveCommand, and the map made with the menu turns the
// chosen number back into the folder's id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session/tables.h"

namespace messagelist {

// Only folders whose id is at least this are offered as move targets.
constexpr std::uint64_t kMovableFolderMinId = 4096;

// Above the fixed commands 1 to 8; one number per folder table row at most.
constexpr unsigned kFirstMoveCommand = 1000;
constexpr unsigned kLastMoveCommand = kFirstMoveCommand + static_cast<unsigned>(session::kFolderRows) - 1;

struct MoveTarget {
    unsigned command;
    std::string folderId;  // decimal text, as the move request takes it
    std::string nameUtf8;  // as the folder table holds it
};

class MoveTargets {
public:
    // The qualifying folders of the table, in row order, from row 0 to the
    // first row with an empty name.
    static MoveTargets FromFolderTable(const session::FolderTable& table);

    const std::vector<MoveTarget>& Targets() const { return targets_; }
    bool Empty() const { return targets_.empty(); }
    // The folder id of a move command; nothing for a number the menu did not
    // hand out.
    std::optional<std::string> FolderFor(unsigned command) const;

private:
    std::vector<MoveTarget> targets_;
};

// A folder id cell read as a decimal number: digits only, at most 19 of
// them; nothing otherwise.
std::optional<std::uint64_t> ReadFolderId(const char* cell, std::size_t capacity);

inline bool IsMoveCommand(unsigned command) {
    return command >= kFirstMoveCommand && command <= kLastMoveCommand;
}

}  // namespace messagelist
