#include "session/tables.h"

#include <cstring>

namespace session {

void InitFolderTable(FolderTable& table) {
    table.rows.reset(new FolderRow[kFolderRows]());
}

void ClearFolderTable(FolderTable& table) {
    if (table.rows) std::memset(table.rows.get(), 0, sizeof(FolderRow) * kFolderRows);
}

void FreeFolderTable(FolderTable& table) {
    table.rows.reset();
}

std::size_t UsedFolderRows(const FolderTable& table) {
    std::size_t n = 0;
    while (table.rows && n < kFolderRows && table.rows[n].name[0] != '\0') ++n;
    return n;
}

}  // namespace session
