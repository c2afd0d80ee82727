// Feeds arbitrary bytes to the readers of the folder list, the message page
// and the new folder id: whatever arrives, the tables keep their bounds and
// every cell stays a terminated text followed by zero bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "session/answer_rows.h"
#include "session/folders.h"
#include "session/keyword_scanner.h"
#include "session/tables.h"

namespace {

template <std::size_t N>
void CheckCell(const char (&cell)[N]) {
    std::size_t i = 0;
    while (i < N && cell[i] != '\0') ++i;
    if (i == N) __builtin_trap();  // not terminated
    for (; i < N; ++i)
        if (cell[i] != '\0') __builtin_trap();  // bytes behind the terminator
}

void CheckFolders(const session::FolderTable& table, std::size_t filled) {
    if (filled > session::kFolderRows) __builtin_trap();
    for (std::size_t r = 0; r < session::kFolderRows; ++r) {
        const session::FolderRow& row = table.rows[r];
        CheckCell(row.id), CheckCell(row.name), CheckCell(row.messageCount), CheckCell(row.messageSize);
        CheckCell(row.unreadMessageCount), CheckCell(row.unreadMessageSize), CheckCell(row.threadCount);
        CheckCell(row.unreadThreadCount);
    }
}

void CheckMessages(const session::MessageTable& table, std::size_t filled) {
    if (filled > session::kMessagePageSize) __builtin_trap();
    for (std::size_t r = 0; r < session::kMessageRows; ++r) {
        const session::MessageRow& row = table.rows[r];
        CheckCell(row.id), CheckCell(row.fid), CheckCell(row.size), CheckCell(row.from), CheckCell(row.to);
        CheckCell(row.subject), CheckCell(row.sentDate), CheckCell(row.receivedDate), CheckCell(row.priority);
        CheckCell(row.backgroundColor), CheckCell(row.antiVirusStatus), CheckCell(row.label0), CheckCell(row.read);
        CheckCell(row.draft), CheckCell(row.attached);
    }
    // The row past the page is never written.
    const auto* last = reinterpret_cast<const unsigned char*>(&table.rows[session::kMessageRows - 1]);
    for (std::size_t i = 0; i < sizeof(session::MessageRow); ++i)
        if (last[i] != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    static session::FolderTable folders;
    static session::MessageTable messages;
    if (!folders.rows) session::InitFolderTable(folders);
    if (!messages.rows) session::InitMessageTable(messages);

    session::ClearFolderTable(folders);
    CheckFolders(folders, session::ReadFolderList(text, folders));
    session::ClearMessageTable(messages);
    CheckMessages(messages, session::ReadMessagePage(text, messages));

    std::string id = session::ReadNewFolderId(text);
    if (id.size() > 19) __builtin_trap();
    for (char c : id)
        if (c < '0' || c > '9') __builtin_trap();
    session::FindVarValue(text);
    return 0;
}
