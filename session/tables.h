// The fixed-capacity table through which the session hands the provider's
// folders on. Every cell holds text
// exactly as the provider sent it (UTF-8, decimal digits, "true"/"false").
// The first row with an empty name ends the rows.
#pragma once

#include <cstddef>
#include <memory>

namespace session {

struct FolderRow {
    char id[15];
    char name[64];
    char messageCount[10];
    char messageSize[15];
    char unreadMessageCount[10];
    char unreadMessageSize[15];
    char threadCount[5];
    char unreadThreadCount[5];
    char parent[15];  // the folder it is nested in; "0" (or empty) at the top
};

constexpr std::size_t kFolderRows = 100;

struct FolderTable {
    std::unique_ptr<FolderRow[]> rows;
};

void InitFolderTable(FolderTable& table);
void ClearFolderTable(FolderTable& table);
void FreeFolderTable(FolderTable& table);

// Number of leading rows whose key cell is not empty.
std::size_t UsedFolderRows(const FolderTable& table);

}  // namespace session
