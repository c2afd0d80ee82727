// From a passphrase to a key (Argon2id), and from the master key to the
// keys of each use (HKDF over HMAC-SHA256, RFC 5869), all with libgcrypt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/outcome.h"
#include "vault/secret_bytes.h"

namespace vault {

using Bytes = std::vector<std::uint8_t>;

struct KdfSettings {
    std::uint32_t memoryKiB = 64 * 1024;
    std::uint32_t passes = 3;
    std::uint32_t lanes = 1;
};

// Bounds on settings read from a vault file: a forged one must not make us
// allocate more than 1 GiB or spin for more than about fifty times the
// default's time before the key fails to unwrap.
constexpr std::uint32_t kMaxKdfMemoryKiB = 1024 * 1024;
constexpr std::uint32_t kMaxKdfPasses = 10;
constexpr std::uint32_t kMaxKdfLanes = 8;
// "" when the settings are usable, else why not.
std::string KdfSettingsProblem(const KdfSettings& settings);

// Argon2id (version 0x13) of the passphrase, `length` bytes long.
catalog::Outcome DeriveFromPassphrase(std::string_view passphrase, const Bytes& salt, const KdfSettings& settings,
                                      std::size_t length, SecretBytes& key);

// HKDF-SHA256: extract with `salt`, expand with `info` to `length` bytes
// (at most 255 * 32).
SecretBytes ExpandKey(const SecretBytes& inputKey, const Bytes& salt, const Bytes& info, std::size_t length);

// HMAC-SHA256 of the text under the key.
Bytes Hmac256(const SecretBytes& key, std::string_view text);

// Random bytes from libgcrypt's strong generator (ids, salts).
Bytes RandomBytes(std::size_t size);
void RandomSecret(SecretBytes& key);

}  // namespace vault
