// What a program sees when the mailbox says no: an errno for every outcome.
#pragma once

#include "catalog/outcome.h"

namespace mount {

// 0 for success; ENOENT, EACCES, ENOSPC (the mailbox's size and sending
// limits) as a program expects them, EIO for everything else.
int ErrnoOf(const catalog::Outcome& outcome);
// A folder change the mailbox refused by its own code: a depth or count
// limit is ENOSPC (never a half-made tree), folders still inside
// ENOTEMPTY, a name taken EEXIST; else as ErrnoOf.
int FolderErrnoOf(const catalog::Outcome& outcome);

// Whether the outcome is worth a line in the log: the EIO cases, which a
// program cannot explain to its user.
bool WorthLogging(const catalog::Outcome& outcome);

}  // namespace mount
