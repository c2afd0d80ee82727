#include "vault/key_derivation.h"

#include <gcrypt.h>

#include <stdexcept>

namespace vault {
namespace {

constexpr std::size_t kSha256Length = 32;

// One HMAC-SHA256 over the concatenated pieces into `out`. A failure here
// means the library itself is unusable, which no caller can mend.
void HmacInto(const std::uint8_t* key, std::size_t keyLength,
              std::initializer_list<std::pair<const void*, std::size_t>> pieces, std::uint8_t* out) {
    gcry_mac_hd_t mac = nullptr;
    if (gcry_mac_open(&mac, GCRY_MAC_HMAC_SHA256, GCRY_MAC_FLAG_SECURE, nullptr) != 0)
        throw std::runtime_error("libgcrypt: HMAC-SHA256 is not available");
    gcry_error_t error = gcry_mac_setkey(mac, key, keyLength);
    for (const auto& [data, size] : pieces)
        if (error == 0 && size > 0) error = gcry_mac_write(mac, data, size);
    std::size_t length = kSha256Length;
    if (error == 0) error = gcry_mac_read(mac, out, &length);
    gcry_mac_close(mac);
    if (error != 0 || length != kSha256Length) throw std::runtime_error("libgcrypt: HMAC-SHA256 failed");
}

}  // namespace

std::string KdfSettingsProblem(const KdfSettings& s) {
    if (s.lanes < 1 || s.lanes > kMaxKdfLanes) return "kdf-lanes out of range";
    if (s.passes < 1 || s.passes > kMaxKdfPasses) return "kdf-passes out of range";
    if (s.memoryKiB < 8 * s.lanes || s.memoryKiB > kMaxKdfMemoryKiB) return "kdf-memory out of range";
    return {};
}

catalog::Outcome DeriveFromPassphrase(std::string_view passphrase, const Bytes& salt, const KdfSettings& settings,
                                      std::size_t length, SecretBytes& key) {
    if (std::string problem = KdfSettingsProblem(settings); !problem.empty())
        return catalog::Failure(catalog::StoreCode::Corrupt, problem);
    const unsigned long params[4] = {static_cast<unsigned long>(length), settings.passes, settings.memoryKiB,
                                     settings.lanes};
    gcry_kdf_hd_t kdf = nullptr;
    gcry_error_t error = gcry_kdf_open(&kdf, GCRY_KDF_ARGON2, GCRY_KDF_ARGON2ID, params, 4, passphrase.data(),
                                       passphrase.size(), salt.data(), salt.size(), nullptr, 0, nullptr, 0);
    SecretBytes result(length);
    if (error == 0) error = gcry_kdf_compute(kdf, nullptr);
    if (error == 0) error = gcry_kdf_final(kdf, result.size(), result.data());
    if (kdf) gcry_kdf_close(kdf);
    if (error != 0)
        return catalog::Failure(catalog::StoreCode::LocalFile,
                                std::string("Argon2id failed (memory?): ") + gcry_strerror(error));
    key = std::move(result);
    return catalog::Success();
}

SecretBytes ExpandKey(const SecretBytes& inputKey, const Bytes& salt, const Bytes& info, std::size_t length) {
    if (length == 0 || length > 255 * kSha256Length) throw std::invalid_argument("HKDF length out of range");
    SecretBytes prk(kSha256Length);
    // RFC 5869: an absent salt is a string of zeros as long as the hash.
    const Bytes zeroSalt(kSha256Length, 0);
    const Bytes& extractKey = salt.empty() ? zeroSalt : salt;
    HmacInto(extractKey.data(), extractKey.size(), {{inputKey.data(), inputKey.size()}}, prk.data());

    SecretBytes output(length);
    SecretBytes block(kSha256Length);
    std::size_t filled = 0;
    for (std::uint8_t counter = 1; filled < length; ++counter) {
        const std::size_t previous = counter == 1 ? 0 : kSha256Length;
        HmacInto(prk.data(), prk.size(), {{block.data(), previous}, {info.data(), info.size()}, {&counter, 1}},
                 block.data());
        const std::size_t take = std::min(kSha256Length, length - filled);
        std::copy(block.data(), block.data() + take, output.data() + filled);
        filled += take;
    }
    return output;
}

Bytes Hmac256(const SecretBytes& key, std::string_view text) {
    Bytes out(kSha256Length);
    HmacInto(key.data(), key.size(), {{text.data(), text.size()}}, out.data());
    return out;
}

Bytes RandomBytes(std::size_t size) {
    Bytes out(size);
    gcry_randomize(out.data(), out.size(), GCRY_STRONG_RANDOM);
    return out;
}

void RandomSecret(SecretBytes& key) {
    // The system's generator (crypto_library.cpp) serves every level alike;
    // the "very strong" level would only add a buffer that is never freed.
    gcry_randomize(key.data(), key.size(), GCRY_STRONG_RANDOM);
}

}  // namespace vault
