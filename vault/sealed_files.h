// Files of a vault folder through the one transfer engine: a put stores
// each file in its sealed form (sealed_stream.h: the records sealed as each
// part is sent, no copy on disk) like any file (parts, parallel transfers,
// resume, verification by the ciphertext's SHA-256); a get runs the engine
// too, opening the records as the parts arrive (opened_stream.h: only plain
// bytes reach the disk).
//
// Resume and "stored already" work as for any file because the same name
// and bytes always seal to the same ciphertext (records.h: the synthetic
// file id).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/file_grouping.h"
#include "catalog/transfers.h"
#include "vault/vault_key.h"

namespace vault {

struct SealedEntry {
    std::string name;  // the plain name; empty when it did not open
    catalog::FileEntry file;
    catalog::Outcome nameOutcome;
};

// The folder's sealed files with their names opened (the vault file left
// out). Sizes are the stored (sealed) sizes until filled; PlainSize turns
// one into the file's own.
catalog::Outcome ListSealedFiles(catalog::MailStore& store, const VaultKey& key, const std::string& folderId,
                                 std::vector<SealedEntry>& entries);
// The plain size of a sealed size; false when no file seals to that size.
bool PlainSize(std::uint64_t sealedSize, std::uint64_t& plainSize);

catalog::Outcome PutSealedFiles(catalog::MailStore& store, const VaultKey& key,
                                const std::vector<std::filesystem::path>& sources, const std::string& folderId,
                                const std::filesystem::path& stagingRoot, const catalog::TransferSettings& settings,
                                std::vector<catalog::PutReport>& reports);

// The file of that plain name in the folder, found by its sealed name (a
// search, no listing); NotFound when there is none.
catalog::Outcome FindSealedFile(catalog::MailStore& store, const VaultKey& key, const std::string& folderId,
                                const std::string& name, catalog::FileEntry& file);

// That file (FindSealedFile), fetched, verified and opened into `target`.
catalog::Outcome GetSealedFile(catalog::MailStore& store, const VaultKey& key, const std::string& folderId,
                               const std::string& name, const std::filesystem::path& target,
                               const catalog::TransferSettings& settings, catalog::GetReport& report);
// The same for a file already found (a listed entry of that plain name): no
// search, and of several files of one name, that very one.
catalog::Outcome GetSealedEntry(catalog::MailStore& store, const VaultKey& key, const catalog::FileEntry& file,
                                const std::string& name, const std::filesystem::path& target,
                                const catalog::TransferSettings& settings, catalog::GetReport& report);

}  // namespace vault
