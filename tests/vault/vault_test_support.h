// What the vault tests share: the fixed key of the known-answer vectors
// and small byte helpers.
#pragma once

#include <string>

#include "vault/parameters.h"
#include "vault/records.h"
#include "vault/vault_key.h"

namespace vault_test {

using vault::Bytes;

inline Bytes Range(std::uint8_t first, std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

// Master key 00..1f, vault id a0..af: the key every vector below uses.
inline vault::VaultKey FixedKey() {
    vault::SecretBytes master(32);
    Bytes bytes = Range(0, 32);
    std::copy(bytes.begin(), bytes.end(), master.data());
    return vault::VaultKey(std::move(master), Range(0xa0, 16));
}

// Bytes i % 251 for i below `size`: no record repeats another.
inline Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i % 251);
    return bytes;
}

// The sealed bytes of `plain` with file id `fileId`, written in pieces of
// `piece` bytes (checks that the stream does not depend on how it is fed).
inline Bytes Seal(const vault::VaultKey& key, const Bytes& fileId, const Bytes& plain, std::size_t piece) {
    Bytes out;
    vault::RecordSealer sealer(key, fileId, [&out](const std::uint8_t* data, std::size_t size) {
        out.insert(out.end(), data, data + size);
        return true;
    });
    for (std::size_t at = 0; at < plain.size(); at += piece)
        if (!sealer.Write(plain.data() + at, std::min(piece, plain.size() - at)).Ok()) return {};
    if (!sealer.Finish().Ok()) return {};
    return out;
}

}  // namespace vault_test
