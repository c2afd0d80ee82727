// check and sync --download of a vault. Its side is the walked folder's
// sealed files under their opened names (made unique and usable as any
// folder's are, drive_names.h). A local file is compared by the SHA-256 of
// the bytes it seals to, sealed again as it is read under the name it
// stands for and never stored: the same name and bytes always seal alike,
// so equal sealed digests mean equal files, and nothing is fetched to tell.
// A sync's record keeps the sealed digests it saw (a record of its own); one
// left from another name a path stood for can only show a difference that
// is not there, never hide one (another name, another file id).
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "catalog/sync_plan.h"
#include "catalog/tree_transfer.h"
#include "cli/command.h"
#include "vault/vault_key.h"

namespace cli {

struct VaultSide {
    vault::VaultKey key;
    std::vector<catalog::RemoteFile> files;         // by the paths a local copy takes
    std::map<std::string, std::string> plainNames;  // path -> the name it is sealed under
    std::size_t unopened = 0;                       // files not sealed with this vault's key
};

// Whether the walked folder is itself a vault (its vault file at the top).
bool WalkedVault(const std::vector<catalog::RemoteFile>& walked);

// The folders below the top of a walked tree that are vaults, by path
// ("a/b"), parents first.
std::vector<std::string> VaultsBelow(const std::vector<catalog::RemoteFile>& walked);

// Unlocks the vault (the passphrase asked once) and opens the names of the
// walked folder's own files; says on stderr what is not the vault's.
int OpenVaultSide(Context& context, catalog::MailStore& store, const std::string& folderId,
                  const std::vector<catalog::RemoteFile>& walked, VaultSide& side);

// The local file's sealed SHA-256, as SyncSides hashes a local file.
std::function<catalog::Outcome(const catalog::LocalFile&, std::string&)> SealedSha(const VaultSide& side);

// Each file opened into `root` at its path, through the local-name rule of
// any fetch into a directory; only verified bytes reach the target.
void FetchFromVault(catalog::MailStore& store, const VaultSide& side, const std::vector<catalog::RemoteFile>& files,
                    const std::filesystem::path& root, const catalog::TransferSettings& settings,
                    std::vector<catalog::TreeGetReport>& reports);

}  // namespace cli
