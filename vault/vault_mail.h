// How a vault sits in a mailbox folder: one ordinary stored file named
// ".vantlo-vault" whose bytes are the parameters' text (parameters.h).
// It goes through the catalog like any file, so every mailbox holds it the
// same way; the vault's front ends hide it from listings. A folder with
// that file is a vault; everything else in it is sealed (records.h,
// names.h).
//
// Changing the passphrase stores a new vault file and then moves the old
// one to the trash; should the move fail, both stay, each opening with its
// own passphrase (the master key is the same), and the next change tidies.
#pragma once

#include <string>
#include <vector>

#include "catalog/drive_names.h"
#include "catalog/mail_store.h"
#include "vault/vault_key.h"

namespace vault {

using catalog::kVaultFileName;

struct VaultCopy {
    std::string key;  // the catalog's key of the vault file
    std::int64_t storedAt = 0;
    VaultParameters parameters;
};

// The folder's vault files, newest first. NotFound when there is none
// (not a vault); Corrupt when one cannot be read as parameters or two
// name different vaults (someone put a vault file there by hand).
catalog::Outcome ReadFolderVault(catalog::MailStore& store, const std::string& folderId,
                                 std::vector<VaultCopy>& copies);

// The master key of the folder's vault: each copy tried, newest first.
// Refused for a wrong passphrase, Corrupt for altered parameters.
catalog::Outcome UnlockFolderVault(catalog::MailStore& store, const std::string& folderId, std::string_view passphrase,
                                   VaultKey& key, std::vector<VaultCopy>& copies);

// Turns an empty folder into a vault. Refused when the folder holds any
// mail (sealing files already stored in plain is not done here). `made`,
// when given, gets the new vault's key: a caller that goes on to use the
// vault is spared a second key derivation.
catalog::Outcome InitFolderVault(catalog::MailStore& store, const std::string& folderId, std::string_view passphrase,
                                 const KdfSettings& settings, VaultParameters& parameters, VaultKey* made = nullptr);

// A new passphrase for the same master key; no sealed file changes.
catalog::Outcome ChangeFolderPassphrase(catalog::MailStore& store, const std::string& folderId,
                                        std::string_view oldPassphrase, std::string_view newPassphrase,
                                        const KdfSettings& settings);

}  // namespace vault
