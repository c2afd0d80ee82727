// A vault's master key: made at random when the vault is made, kept only
// wrapped in the vault mail, unwrapped with the passphrase for one run.
// Every other key comes from it by HKDF-SHA256 with the vault id as salt:
//   file key       info "vantlo-vault-1 file" + the file's 16-byte id, 32 bytes
//   name key       info "vantlo-vault-1 name", 64 bytes (AES-256-SIV)
//   check key      info "vantlo-vault-1 check", 32 bytes (the vault mail's check)
//   file-id key    info "vantlo-vault-1 file-id", 32 bytes (records.h: SyntheticFileId)
// The passphrase's key (Argon2id, 32 bytes) only wraps the master key.
#pragma once

#include <string_view>

#include "catalog/outcome.h"
#include "vault/parameters.h"
#include "vault/secret_bytes.h"

namespace vault {

constexpr std::size_t kFileIdLength = 16;
constexpr std::size_t kFileKeyLength = 32;
constexpr std::size_t kNameKeyLength = 64;

class VaultKey {
public:
    VaultKey() = default;
    VaultKey(SecretBytes master, Bytes vaultId) : master_(std::move(master)), vaultId_(std::move(vaultId)) {}

    bool Unlocked() const { return !master_.empty(); }
    const Bytes& VaultId() const { return vaultId_; }
    SecretBytes FileKey(const Bytes& fileId) const;
    SecretBytes NameKey() const;
    SecretBytes CheckKey() const;
    SecretBytes FileIdKey() const;
    const SecretBytes& Master() const { return master_; }

private:
    SecretBytes master_;
    Bytes vaultId_;
};

// A new vault: a random vault id, salt and master key, the master key
// wrapped under the passphrase's key.
catalog::Outcome CreateVault(std::string_view passphrase, const KdfSettings& settings, VaultParameters& parameters,
                             VaultKey& key);

// The master key from the parameters and the passphrase. A key that does
// not unwrap is Refused ("wrong passphrase"; damaged settings, salt or
// wrapped key look the same and cannot be told apart); a check that does
// not match the rest is Corrupt (the parameters were altered).
catalog::Outcome UnlockVault(const VaultParameters& parameters, std::string_view passphrase, VaultKey& key);

// New parameters for the same master key under a new passphrase (new salt,
// new settings): no file changes.
catalog::Outcome RewrapVault(const VaultKey& key, std::string_view newPassphrase, const KdfSettings& settings,
                             VaultParameters& parameters);

}  // namespace vault
