// The two fixed-capacity tables through which the session hands the
// provider's folders and messages to the windows. Every cell holds text
// exactly as the provider sent it (UTF-8, decimal digits, "true"/"false").
// The first row with an empty key cell (name, subject) ends the rows.
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

struct MessageRow {
    char id[32];
    char fid[20];
    char size[20];
    char from[100];
    char to[64];
    char subject[768];
    char sentDate[27];
    char receivedDate[27];
    char priority[5];
    char backgroundColor[10];
    char antiVirusStatus[10];
    char label0[5];
    char read[6];
    char draft[6];
    char attached[6];
};

constexpr std::size_t kFolderRows = 100;
// 50 rows for one page and one that no answer fills, so every scan of the
// rows meets an empty row before the end.
constexpr std::size_t kMessageRows = 51;
constexpr std::size_t kMessagePageSize = 50;

struct FolderTable {
    std::unique_ptr<FolderRow[]> rows;
};

struct MessageTable {
    std::unique_ptr<MessageRow[]> rows;
};

void InitFolderTable(FolderTable& table);
void ClearFolderTable(FolderTable& table);
void FreeFolderTable(FolderTable& table);
void InitMessageTable(MessageTable& table);
void ClearMessageTable(MessageTable& table);
void FreeMessageTable(MessageTable& table);

// Number of leading rows whose key cell is not empty.
std::size_t UsedFolderRows(const FolderTable& table);
std::size_t UsedMessageRows(const MessageTable& table);

}  // namespace session
