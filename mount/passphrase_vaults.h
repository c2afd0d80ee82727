// The vaults a drive opens with the one passphrase it was given at start:
// each vault folder is unlocked once (the key derivation takes a second or
// more) and its key kept in locked memory while the drive runs. A vault
// the passphrase does not open stays locked, and says so once.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "mount/vault_view.h"
#include "vault/secret_bytes.h"
#include "vault/vault_key.h"

namespace mount {

class PassphraseVaults : public VaultView {
public:
    explicit PassphraseVaults(std::string_view passphrase);

    bool Unlock(catalog::MailStore& store, const std::string& folderId) override;
    bool OpenName(const std::string& folderId, const std::string& sealed, std::string& plain) override;
    bool PlainSize(std::uint64_t sealed, std::uint64_t& plain) override;
    catalog::Outcome OpenFile(const std::string& folderId, const std::filesystem::path& sealed,
                              const std::filesystem::path& plain, const std::string& name) override;
    std::string SealName(const std::string& folderId, const std::string& plain) override;
    catalog::StoredFormOf SealedForm(const std::string& folderId, const std::string& name) override;
    std::unique_ptr<catalog::MailStore> Neutral(catalog::MailStore& inner) override;

private:
    // The folder's key; null when it is not unlocked.
    std::shared_ptr<const vault::VaultKey> KeyOf(const std::string& folderId);

    vault::SecretBytes passphrase_;
    std::mutex mutex_;  // guards keys_
    // By folder; a null key: the passphrase did not open it (not tried again).
    std::map<std::string, std::shared_ptr<const vault::VaultKey>> keys_;
};

// The option's lines of a drive's --help.
constexpr char kVaultOptionHelp[] =
    "  --vault-passphrase-file FILE  open the vaults whose passphrase is FILE's first\n"
    "                        line (else VANTLO_VAULT_PASSPHRASE): their files show by\n"
    "                        their own names, and what is written there is sealed.\n"
    "                        Without it a vault shows empty and takes nothing.\n"
    "                        FILE '-': asked at start, after the mailbox password.\n";

// The vaults of a drive started with --vault-passphrase-file FILE (its
// first line; "-": a line of standard input, hidden on a terminal), else
// with VANTLO_VAULT_PASSPHRASE; null when neither is
// given (every vault then shows locked). False, with `error`, for a file
// that cannot be read or holds no passphrase.
bool VaultsAtStart(const std::string& passphraseFile, std::shared_ptr<VaultView>& vaults, std::string& error);

}  // namespace mount
