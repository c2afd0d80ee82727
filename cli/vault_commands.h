// A folder that is a vault takes and shows its files sealed: the plain
// commands (ls, put, get, rm, stat, find) hand such a folder to the vault's own, so that no file
// lands in a vault unsealed and its listing shows the files' own names.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/file_grouping.h"
#include "catalog/folder_tree.h"
#include "catalog/mail_store.h"
#include "catalog/transfers.h"
#include "cli/command.h"
#include "vault/sealed_files.h"
#include "vault/vault_key.h"
#include "vault/vault_mail.h"

namespace cli {

// Whether a folder's listing holds the vault file.
bool HoldsVaultFile(const std::vector<catalog::FileEntry>& files);
// Whether the folder is a vault: one search for the vault file.
catalog::Outcome IsVaultFolder(catalog::MailStore& store, const std::string& folderId, bool& vault);

// Unlocks the folder's vault with the passphrase asked once per run.
int UnlockVault(Context& context, catalog::MailStore& store, const std::string& folderId, vault::VaultKey& key,
                std::vector<vault::VaultCopy>& copies);

// The same, then the vault's sealed files with their names opened.
int ListUnlockedVault(Context& context, catalog::MailStore& store, const std::string& folderId, vault::VaultKey& key,
                      std::vector<vault::VaultCopy>& copies, std::vector<vault::SealedEntry>& entries);
// Where sealed puts keep (and clear) their staging: beside the account's caches.
std::filesystem::path VaultStagingRoot(const Context& context);

int ListVault(Context& context, catalog::MailStore& store, const std::string& folderId);
int GetFromVault(Context& context, catalog::MailStore& store, const std::string& folderId, const std::string& name,
                 const std::filesystem::path& target, const catalog::TransferSettings& settings);
// Moves the vault's file of that own name to the trash.
int RemoveFromVault(Context& context, catalog::MailStore& store, const std::string& folderId, const std::string& name);
int PutIntoVault(Context& context, catalog::MailStore& store, const std::string& folderId,
                 const std::vector<std::filesystem::path>& sources, const catalog::TransferSettings& settings);
// stat VAULT/NAME: the file found by its sealed name, shown by its own name
// and size; the digest kept is the sealed bytes' (the plain one is sealed too).
int StatInVault(Context& context, catalog::MailStore& store, const std::string& folderId, const std::string& name);
// find NAME VAULT: the file of exactly that own name (its sealed name is
// searched; no part of a name can be).
int FindInVault(Context& context, catalog::MailStore& store, const std::string& folderId, const std::string& name);
// get -r VAULT DIR: every file of the vault opened into DIR under its own name.
int GetVaultFolder(Context& context, catalog::MailStore& store, const std::string& folderId,
                   const std::filesystem::path& out, const catalog::TransferSettings& settings);

// put -r into rootId: fails, saying which, when rootId (rootToo: it was
// there before) or a folder already there that one of `dirs` ("a/b")
// lands in is a vault; its folders would show their names.
int RefuseVaultsBelow(Context& context, catalog::MailStore& store, const catalog::FolderTree& tree,
                      const std::string& rootId, bool rootToo, const std::vector<std::string>& dirs);

// Why mv leaves a vault's files where and as they are.
extern const char* const kVaultMoveRefused;

}  // namespace cli
