// A vault file opened as its parts arrive (records.h), so that a get
// writes only plain bytes, each at its own place in the temporary file and
// each only once its record's tag verified: no sealed copy on disk and no
// second pass over one. Parts come side by side; a record spanning the
// seam of two parts is gathered from both and opened when the last of its
// bytes comes in. The header (the file id) comes with part 1; the other
// parts wait for it before they open a record.
//
// Resume: the temporary file holds the plain bytes and, past them, the
// header. A part counts as whole for a later run only once every record it
// touches is written (so a seam record is never half there); a later run
// seals its plain bytes again (the same name and bytes seal alike) and
// keeps it only if they give the part's SHA-256. At the end the plain
// bytes' SHA-256 and the name must give the file id.
#pragma once

#include <string>

#include "catalog/download.h"
#include "vault/vault_key.h"

namespace vault {

// The form a get keeps a file of the vault in: its plain bytes. `name` is
// the plain name it is stored under; `key` must outlive the get.
catalog::OpenedFormOf OpeningForm(const VaultKey& key, const std::string& name);

}  // namespace vault
