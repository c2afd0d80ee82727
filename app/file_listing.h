// A folder's files as the list shows them, read through the catalog: every
// mail of the folder (or every mail a search of it found), grouped into
// files, each row with its key mail's date and attachment flag.
#pragma once

#include <string>

#include "app/file_list.h"
#include "catalog/mail_store.h"

namespace app {

// searchText empty: every file of the folder; otherwise the files of the
// folder whose names contain it (ASCII letters in any case).
catalog::Outcome ListFolderFiles(catalog::MailStore& store, const std::string& folderId, const std::string& searchText,
                                 FileListing& listing);

// A mail's arrival as the list has always shown it: the local time as
// "year,month,day,hour,minute,second" with the month from 1; empty for 0.
std::string DateCellOf(std::int64_t seconds);

}  // namespace app
