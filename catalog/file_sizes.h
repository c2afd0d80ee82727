// A listing shows each mail's size, which is not its file's: the exact
// size and the time stored come from the manifest of the file's key mail
// (for a mail without one, from its attachment's length and its arrival).
// FillFileSizes reads those mails, on several connections at once, and
// remembers what they said in a ManifestCache, so that the next listing of
// the same folder reads nothing. A key mail whose manifest came whole with
// the listing (FileEntry::keyText) is not read at all.
#pragma once

#include <vector>

#include "catalog/file_grouping.h"
#include "catalog/mail_store.h"
#include "catalog/manifest_cache.h"

namespace catalog {

constexpr unsigned kDefaultReaders = 4;

// Sets sizeKnown, size and (from a manifest) storedAt of every file. The
// mails not in the cache are read on up to `readers` stores at once: this
// one and forks of it (only this one when it cannot fork). A mail that is
// gone meanwhile leaves its file's size unknown; any other failed read ends
// the call with its outcome, what was read so far kept in the cache.
Outcome FillFileSizes(MailStore& store, ManifestCache& cache, std::vector<FileEntry>& files,
                      unsigned readers = kDefaultReaders);

}  // namespace catalog
