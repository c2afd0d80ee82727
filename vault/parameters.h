// The vault mail's text: what the provider may see of a vault. It holds
// the format version, the vault id, the Argon2id settings and salt, the
// master key wrapped (AES key wrap, RFC 3394) under the key the passphrase
// gives, and a check (HMAC-SHA256 under a key from the master key) over
// all of that, so that any damaged or altered value is noticed once the
// master key is unwrapped.
//
//   vantlo-vault: 1
//   vault-id: <32 hex digits>
//   kdf: argon2id
//   kdf-memory: 65536          (KiB)
//   kdf-passes: 3
//   kdf-lanes: 1
//   salt: <32 hex digits>
//   wrapped-key: <80 hex digits>
//   check: <64 hex digits>
#pragma once

#include <string>
#include <string_view>

#include "catalog/outcome.h"
#include "vault/key_derivation.h"

namespace vault {

constexpr int kFormatVersion = 1;
constexpr std::size_t kVaultIdLength = 16;
constexpr std::size_t kSaltLength = 16;
constexpr std::size_t kMasterKeyLength = 32;
constexpr std::size_t kWrappedKeyLength = kMasterKeyLength + 8;
constexpr std::size_t kCheckLength = 32;

struct VaultParameters {
    Bytes vaultId;
    KdfSettings kdf;
    Bytes salt;
    Bytes wrappedKey;
    Bytes check;
};

// The lines above, each ending in "\n"; without the check line when
// `withCheck` is false (that text is what the check covers).
std::string FormatParameters(const VaultParameters& parameters, bool withCheck = true);

// Reads the text as stored (hostile: any bytes). Lines may end in CRLF;
// every key must appear exactly once; unknown keys, a format version other
// than 1 or a value of the wrong length are refused (Corrupt, saying
// which).
catalog::Outcome ParseParameters(std::string_view text, VaultParameters& parameters);

// Lower-case hex of the bytes, and back (false on any other character or
// an odd length).
std::string HexText(const Bytes& bytes);
bool HexBytes(std::string_view text, Bytes& bytes);

}  // namespace vault
