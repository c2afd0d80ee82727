// The reader of the folder list into a FolderTable: fills from row 0 without
// clearing the table first and returns the number of rows filled.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "session/tables.h"

namespace session {

std::size_t ReadFolderList(std::string_view body, FolderTable& table);
// The same into `capacity` rows of the caller's (a tree holds more folders
// than the table's 100).
std::size_t ReadFolderRows(std::string_view body, FolderRow* rows, std::size_t capacity);

// The answer counts months from 0, the tables from 1: "2026,0,5,..." becomes
// "2026,1,5,...". Text that is not of that form is returned unchanged.
std::string FixMonth(const std::string& date);

}  // namespace session
