#include "session/answer_rows.h"

#include "session/row_reader.h"

namespace session {

namespace {
CellPlace FolderCell(std::string_view key) {
    if (key == "id") return VANTLO_CELL(FolderRow, id);
    if (key == "name") return VANTLO_CELL(FolderRow, name);
    if (key == "messageCount") return VANTLO_CELL(FolderRow, messageCount);
    if (key == "messageSize") return VANTLO_CELL(FolderRow, messageSize);
    if (key == "unreadMessageCount") return VANTLO_CELL(FolderRow, unreadMessageCount);
    if (key == "unreadMessageSize") return VANTLO_CELL(FolderRow, unreadMessageSize);
    if (key == "threadCount") return VANTLO_CELL(FolderRow, threadCount);
    if (key == "unreadThreadCount") return VANTLO_CELL(FolderRow, unreadThreadCount);
    if (key == "parent") return VANTLO_CELL(FolderRow, parent);
    return {};
}

}  // namespace

std::string FixMonth(const std::string& date) {
    std::size_t first = date.find(',');
    if (first == std::string::npos) return date;
    std::size_t second = date.find(',', first + 1);
    if (second == std::string::npos) second = date.size();
    if (second == first + 1 || second - first > 3) return date;
    int month = 0;
    for (std::size_t i = first + 1; i < second; ++i) {
        if (date[i] < '0' || date[i] > '9') return date;
        month = month * 10 + (date[i] - '0');
    }
    return date.substr(0, first + 1) + std::to_string(month + 1) + date.substr(second);
}

std::size_t ReadFolderList(std::string_view body, FolderTable& table) {
    if (!table.rows) return 0;
    return ReadFolderRows(body, table.rows.get(), kFolderRows);
}

std::size_t ReadFolderRows(std::string_view body, FolderRow* rows, std::size_t capacity) {
    return ReadRows(body, rows, capacity, {"stats"}, FolderCell,
                    [](std::string_view, ValueKind, const std::string& value) { return value; });
}

}  // namespace session
