#include "vault/vault_key.h"

#include <gcrypt.h>

#include "vault/crypto_library.h"

namespace vault {
namespace {

constexpr std::size_t kWrappingKeyLength = 32;

Bytes InfoText(std::string_view label, const Bytes& suffix = {}) {
    Bytes info(label.begin(), label.end());
    info.insert(info.end(), suffix.begin(), suffix.end());
    return info;
}

// AES-256 key wrap (RFC 3394) of the master key, or its unwrap. The unwrap
// checks the wrap's integrity value: false when it does not hold.
bool KeyWrap(const SecretBytes& wrappingKey, bool wrap, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
             std::size_t outLength) {
    gcry_cipher_hd_t cipher = nullptr;
    if (gcry_cipher_open(&cipher, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_AESWRAP, GCRY_CIPHER_SECURE) != 0) return false;
    gcry_error_t error = gcry_cipher_setkey(cipher, wrappingKey.data(), wrappingKey.size());
    if (error == 0)
        error = wrap ? gcry_cipher_encrypt(cipher, out, outLength, in, inLength)
                     : gcry_cipher_decrypt(cipher, out, outLength, in, inLength);
    gcry_cipher_close(cipher);
    return error == 0;
}

Bytes CheckValue(const VaultKey& key, const VaultParameters& parameters) {
    return Hmac256(key.CheckKey(), FormatParameters(parameters, false));
}

bool SameBytes(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return false;
    std::uint8_t difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) difference |= a[i] ^ b[i];
    return difference == 0;
}

}  // namespace

SecretBytes VaultKey::FileKey(const Bytes& fileId) const {
    return ExpandKey(master_, vaultId_, InfoText("vantlo-vault-1 file", fileId), kFileKeyLength);
}

SecretBytes VaultKey::NameKey() const {
    return ExpandKey(master_, vaultId_, InfoText("vantlo-vault-1 name"), kNameKeyLength);
}

SecretBytes VaultKey::FileIdKey() const {
    return ExpandKey(master_, vaultId_, InfoText("vantlo-vault-1 file-id"), 32);
}

SecretBytes VaultKey::CheckKey() const {
    return ExpandKey(master_, vaultId_, InfoText("vantlo-vault-1 check"), kCheckLength);
}

catalog::Outcome CreateVault(std::string_view passphrase, const KdfSettings& settings, VaultParameters& parameters,
                             VaultKey& key) {
    if (catalog::Outcome started = StartCryptoLibrary(); !started.Ok()) return started;
    SecretBytes master(kMasterKeyLength);
    RandomSecret(master);
    VaultKey fresh(std::move(master), RandomBytes(kVaultIdLength));
    VaultParameters made;
    if (catalog::Outcome wrapped = RewrapVault(fresh, passphrase, settings, made); !wrapped.Ok()) return wrapped;
    parameters = std::move(made);
    key = std::move(fresh);
    return catalog::Success();
}

catalog::Outcome RewrapVault(const VaultKey& key, std::string_view newPassphrase, const KdfSettings& settings,
                             VaultParameters& parameters) {
    if (catalog::Outcome started = StartCryptoLibrary(); !started.Ok()) return started;
    VaultParameters made;
    made.vaultId = key.VaultId();
    made.kdf = settings;
    made.salt = RandomBytes(kSaltLength);
    SecretBytes wrappingKey;
    catalog::Outcome derived =
        DeriveFromPassphrase(newPassphrase, made.salt, settings, kWrappingKeyLength, wrappingKey);
    if (!derived.Ok()) return derived;
    made.wrappedKey.resize(kWrappedKeyLength);
    if (!KeyWrap(wrappingKey, true, key.Master().data(), key.Master().size(), made.wrappedKey.data(),
                 made.wrappedKey.size()))
        return catalog::Failure(catalog::StoreCode::LocalFile, "the master key could not be wrapped");
    made.check = CheckValue(key, made);
    parameters = std::move(made);
    return catalog::Success();
}

catalog::Outcome UnlockVault(const VaultParameters& parameters, std::string_view passphrase, VaultKey& key) {
    if (catalog::Outcome started = StartCryptoLibrary(); !started.Ok()) return started;
    if (parameters.wrappedKey.size() != kWrappedKeyLength || parameters.vaultId.size() != kVaultIdLength)
        return catalog::Failure(catalog::StoreCode::Corrupt, "vault parameters damaged: key or id length");
    SecretBytes wrappingKey;
    catalog::Outcome derived =
        DeriveFromPassphrase(passphrase, parameters.salt, parameters.kdf, kWrappingKeyLength, wrappingKey);
    if (!derived.Ok()) return derived;
    SecretBytes master(kMasterKeyLength);
    if (!KeyWrap(wrappingKey, false, parameters.wrappedKey.data(), parameters.wrappedKey.size(), master.data(),
                 master.size()))
        return catalog::Failure(catalog::StoreCode::Refused,
                                "wrong passphrase (or the vault mail's salt, settings or wrapped key are damaged)");
    VaultKey opened(std::move(master), parameters.vaultId);
    if (!SameBytes(CheckValue(opened, parameters), parameters.check))
        return catalog::Failure(catalog::StoreCode::Corrupt,
                                "vault parameters damaged: their check does not match (altered vault mail)");
    key = std::move(opened);
    return catalog::Success();
}

}  // namespace vault
