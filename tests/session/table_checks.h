// Checks of the tables' cell invariant: every cell is a terminated text
// followed by nothing but zero bytes, whatever answer filled the table.
#pragma once

#include <cstddef>
#include <string>

#include "session/tables.h"

namespace testsupport {

// "" when the cell is sound, else what is wrong with it.
template <std::size_t N>
std::string CellFault(const char (&cell)[N], const char* name) {
    std::size_t zero = 0;
    while (zero < N && cell[zero] != '\0') ++zero;
    if (zero == N) return std::string(name) + " is not terminated";
    for (std::size_t i = zero; i < N; ++i)
        if (cell[i] != '\0') return std::string(name) + " holds bytes after its end";
    return "";
}

#define VANTLO_CHECK_CELL(row, field)                                             \
    do {                                                                          \
        std::string fault = testsupport::CellFault((row).field, #field);          \
        if (!fault.empty()) return "row " + std::to_string(index) + ": " + fault; \
    } while (0)

// "" when every cell of every row is sound.
inline std::string FolderTableFault(const session::FolderTable& table) {
    for (std::size_t index = 0; index < session::kFolderRows; ++index) {
        const session::FolderRow& r = table.rows[index];
        VANTLO_CHECK_CELL(r, id);
        VANTLO_CHECK_CELL(r, name);
        VANTLO_CHECK_CELL(r, messageCount);
        VANTLO_CHECK_CELL(r, messageSize);
        VANTLO_CHECK_CELL(r, unreadMessageCount);
        VANTLO_CHECK_CELL(r, unreadMessageSize);
        VANTLO_CHECK_CELL(r, threadCount);
        VANTLO_CHECK_CELL(r, unreadThreadCount);
    }
    return "";
}

// "" when every cell is sound and the row past the page is empty.
inline std::string MessageTableFault(const session::MessageTable& table) {
    for (std::size_t index = 0; index < session::kMessageRows; ++index) {
        const session::MessageRow& r = table.rows[index];
        VANTLO_CHECK_CELL(r, id);
        VANTLO_CHECK_CELL(r, fid);
        VANTLO_CHECK_CELL(r, size);
        VANTLO_CHECK_CELL(r, from);
        VANTLO_CHECK_CELL(r, to);
        VANTLO_CHECK_CELL(r, subject);
        VANTLO_CHECK_CELL(r, sentDate);
        VANTLO_CHECK_CELL(r, receivedDate);
        VANTLO_CHECK_CELL(r, priority);
        VANTLO_CHECK_CELL(r, backgroundColor);
        VANTLO_CHECK_CELL(r, antiVirusStatus);
        VANTLO_CHECK_CELL(r, label0);
        VANTLO_CHECK_CELL(r, read);
        VANTLO_CHECK_CELL(r, draft);
        VANTLO_CHECK_CELL(r, attached);
    }
    const auto* last = reinterpret_cast<const unsigned char*>(&table.rows[session::kMessageRows - 1]);
    for (std::size_t i = 0; i < sizeof(session::MessageRow); ++i)
        if (last[i] != 0) return "the row past the page was written";
    return "";
}

#undef VANTLO_CHECK_CELL

}  // namespace testsupport
