#include "session/tables.h"

#include <cstring>

namespace session {

void InitFolderTable(FolderTable& table) { table.rows.reset(new FolderRow[kFolderRows]()); }

void ClearFolderTable(FolderTable& table) {
    if (table.rows) std::memset(table.rows.get(), 0, sizeof(FolderRow) * kFolderRows);
}

void FreeFolderTable(FolderTable& table) { table.rows.reset(); }

void InitMessageTable(MessageTable& table) { table.rows.reset(new MessageRow[kMessageRows]()); }

void ClearMessageTable(MessageTable& table) {
    if (table.rows) std::memset(table.rows.get(), 0, sizeof(MessageRow) * kMessageRows);
}

void FreeMessageTable(MessageTable& table) { table.rows.reset(); }

std::size_t UsedFolderRows(const FolderTable& table) {
    std::size_t n = 0;
    while (table.rows && n < kFolderRows && table.rows[n].name[0] != '\0') ++n;
    return n;
}

std::size_t UsedMessageRows(const MessageTable& table) {
    std::size_t n = 0;
    while (table.rows && n < kMessageRows && table.rows[n].subject[0] != '\0') ++n;
    return n;
}

}  // namespace session
