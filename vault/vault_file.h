// Whole local files through the record stream (records.h): the sealed copy
// of a file, or the plain copy of a sealed one. The target is written
// under TARGET.vantlo-partial and replaces TARGET only when every record
// has verified; on any failure the partial file is removed and TARGET is
// left as it was.
#pragma once

#include <filesystem>
#include <string>

#include "catalog/outcome.h"
#include "vault/vault_key.h"

namespace vault {

// Reads the source twice: its SHA-256 first (for the file id, records.h),
// then to seal it. `name` is the plain name it is stored under.
catalog::Outcome SealFile(const VaultKey& key, const std::filesystem::path& source, const std::string& name,
                          const std::filesystem::path& target);

// `what` names the file in errors (its plain name, as the user knows it).
catalog::Outcome OpenFile(const VaultKey& key, const std::filesystem::path& source, const std::filesystem::path& target,
                          const std::string& what);

}  // namespace vault
