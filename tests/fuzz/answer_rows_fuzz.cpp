// Feeds arbitrary bytes to the readers of the folder list, the message page
// and the new folder id: whatever arrives, the tables keep their bounds and
// every cell stays a terminated text followed by zero bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "session/answer_rows.h"
#include "session/folders.h"
#include "session/row_reader.h"
#include "session/tables.h"

namespace {

using session::CellPlace, session::FolderRow, session::MessageRow;

template <class Row>
void CheckCells(const Row* rows, std::size_t count, std::initializer_list<CellPlace> cells) {
    for (std::size_t r = 0; r < count; ++r)
        for (const CellPlace& cell : cells) {
            const char* text = reinterpret_cast<const char*>(&rows[r]) + cell.offset;
            std::size_t i = 0;
            while (i < cell.capacity && text[i] != '\0') ++i;
            if (i == cell.capacity) __builtin_trap();  // not terminated
            for (; i < cell.capacity; ++i)
                if (text[i] != '\0') __builtin_trap();  // bytes behind the terminator
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    static session::FolderTable folders;
    static session::MessageTable messages;
    if (!folders.rows) session::InitFolderTable(folders), session::InitMessageTable(messages);

    session::ClearFolderTable(folders);
    if (session::ReadFolderList(text, folders) > session::kFolderRows) __builtin_trap();
    CheckCells(folders.rows.get(), session::kFolderRows,
               {VANTLO_CELL(FolderRow, id), VANTLO_CELL(FolderRow, name), VANTLO_CELL(FolderRow, messageCount),
                VANTLO_CELL(FolderRow, messageSize), VANTLO_CELL(FolderRow, unreadMessageCount),
                VANTLO_CELL(FolderRow, unreadMessageSize), VANTLO_CELL(FolderRow, threadCount),
                VANTLO_CELL(FolderRow, unreadThreadCount)});
    session::ClearMessageTable(messages);
    if (session::ReadMessagePage(text, messages) > session::kMessagePageSize) __builtin_trap();
    CheckCells(messages.rows.get(), session::kMessageRows,
               {VANTLO_CELL(MessageRow, id), VANTLO_CELL(MessageRow, fid), VANTLO_CELL(MessageRow, size),
                VANTLO_CELL(MessageRow, from), VANTLO_CELL(MessageRow, to), VANTLO_CELL(MessageRow, subject),
                VANTLO_CELL(MessageRow, sentDate), VANTLO_CELL(MessageRow, receivedDate),
                VANTLO_CELL(MessageRow, priority), VANTLO_CELL(MessageRow, backgroundColor),
                VANTLO_CELL(MessageRow, antiVirusStatus), VANTLO_CELL(MessageRow, label0), VANTLO_CELL(MessageRow, read),
                VANTLO_CELL(MessageRow, draft), VANTLO_CELL(MessageRow, attached)});
    // The row past the page is never written.
    const char* last = messages.rows[session::kMessageRows - 1].id;
    for (std::size_t i = 0; i < sizeof(MessageRow); ++i)
        if (last[i] != 0) __builtin_trap();

    std::string id = session::ReadNewFolderId(text);
    if (id.size() > 19 || id.find_first_not_of("0123456789") != std::string::npos) __builtin_trap();
    return 0;
}
