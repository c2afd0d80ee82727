// File names inside a vault: sealed with AES-256-SIV (RFC 5297, no
// associated data) under the name key, so that one name always gives the
// same subject and a file can be found by its name without listing; the
// 16-byte synthetic IV followed by the ciphertext, in base32 (base32.h).
// Equal names show as equal; the name's length shows.
#pragma once

#include <string>
#include <string_view>

#include "catalog/outcome.h"
#include "vault/vault_key.h"

namespace vault {

class NameSealer {
public:
    explicit NameSealer(const VaultKey& key) : nameKey_(key.NameKey()) {}

    std::string Seal(std::string_view name) const;
    // The name back; Corrupt when the text is not a name sealed under this
    // vault's key (another vault's, altered, or not base32), or when it
    // holds a NUL.
    catalog::Outcome Open(std::string_view sealed, std::string& name) const;

private:
    SecretBytes nameKey_;
};

}  // namespace vault
