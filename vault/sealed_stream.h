// A plain file's sealed bytes (records.h) made by their offset as they are
// read, so that a put sends a vault's file with no sealed copy on disk: a
// part seals its own records, parts go side by side, and a resumed put
// seals again only the parts it still sends. One pass over the file before
// (its SHA-256, for the synthetic file id) fixes every byte.
#pragma once

#include <filesystem>
#include <memory>

#include "catalog/upload.h"
#include "platform/byte_reader.h"
#include "vault/vault_key.h"

namespace vault {

// The form a put stores a file of the vault in: the sealed name of its own
// name, and its sealed bytes. `key` must outlive the put.
catalog::StoredFormOf SealedForm(const VaultKey& key);
// The same for a file stored under `name` whatever its own path's name (a
// drive's journal copy); the form keeps `key` alive.
catalog::StoredFormOf SealedForm(std::shared_ptr<const VaultKey> key, const std::string& name);

// The sealed bytes of the first `plainSize` bytes of `source` under `fileId`;
// null when the source cannot be opened. A read past them, or of a source
// that has shrunk, fails.
std::unique_ptr<platform::ByteReader> OpenSealedReader(const VaultKey& key, const Bytes& fileId,
                                                       const std::filesystem::path& source, std::uint64_t plainSize);

}  // namespace vault
