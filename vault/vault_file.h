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

// `name` is the plain name the file is stored under (records.h:
// RecordOpener checks the file belongs to it).
catalog::Outcome OpenFile(const VaultKey& key, const std::filesystem::path& source, const std::filesystem::path& target,
                          const std::string& name);

// The same, opened within the sealed file itself (no second copy): each
// record's plain bytes overwrite bytes already read, only once its tag
// verified; the file is cut to the plain size and renamed over `target`
// when every record and the file id verified, and removed on any failure.
catalog::Outcome OpenFileInPlace(const VaultKey& key, const std::filesystem::path& sealed,
                                 const std::filesystem::path& target, const std::string& name);

}  // namespace vault
