// What a drive shows of a stored file whose manifest does not check out:
// it is listed (as empty, marked damaged) and refuses to be read, so that
// a forged or broken manifest neither hides the file nor passes as whole.
#pragma once

#include <cstdint>

#include "catalog/file_grouping.h"

namespace catalog {

// A size no stored file can have: beyond what a file can hold, or more
// bytes than the mails holding it (attachments travel inside them).
bool ImpossibleSize(std::uint64_t size, const FileEntry& file);

// A whole file whose size its manifest does not give, or gives impossibly.
bool Damaged(const FileEntry& file);

// The size to show: 0 while unknown or damaged.
std::uint64_t ShownSize(const FileEntry& file);

}  // namespace catalog
