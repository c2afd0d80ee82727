#include "vault/names.h"

#include <gcrypt.h>

#include <stdexcept>

#include "vault/base32.h"

namespace vault {
namespace {

constexpr std::size_t kSivLength = 16;
// A name is at most a few hundred bytes; anything far longer is not ours.
constexpr std::size_t kMaxSealedText = 4096;

gcry_cipher_hd_t OpenSiv(const SecretBytes& key) {
    gcry_cipher_hd_t cipher = nullptr;
    if (gcry_cipher_open(&cipher, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_SIV, GCRY_CIPHER_SECURE) != 0)
        throw std::runtime_error("libgcrypt: AES-SIV is not available");
    if (gcry_cipher_setkey(cipher, key.data(), key.size()) != 0) {
        gcry_cipher_close(cipher);
        throw std::runtime_error("libgcrypt: AES-SIV refused its key");
    }
    return cipher;
}

}  // namespace

std::string NameSealer::Seal(std::string_view name) const {
    gcry_cipher_hd_t cipher = OpenSiv(nameKey_);
    Bytes sealed(kSivLength + name.size());
    gcry_error_t error = gcry_cipher_final(cipher);
    if (error == 0)
        error = gcry_cipher_encrypt(cipher, sealed.data() + kSivLength, name.size(), name.data(), name.size());
    if (error == 0) error = gcry_cipher_gettag(cipher, sealed.data(), kSivLength);
    gcry_cipher_close(cipher);
    if (error != 0) throw std::runtime_error(std::string("libgcrypt: AES-SIV failed: ") + gcry_strerror(error));
    return Base32Text(sealed);
}

catalog::Outcome NameSealer::Open(std::string_view sealedText, std::string& name) const {
    Bytes sealed;
    if (sealedText.size() > kMaxSealedText || !Base32Bytes(sealedText, sealed) || sealed.size() < kSivLength)
        return catalog::Failure(catalog::StoreCode::Corrupt, "not a sealed name");
    gcry_cipher_hd_t cipher = OpenSiv(nameKey_);
    std::string plain(sealed.size() - kSivLength, '\0');
    gcry_error_t error = gcry_cipher_set_decryption_tag(cipher, sealed.data(), kSivLength);
    if (error == 0) error = gcry_cipher_final(cipher);
    if (error == 0)
        error = gcry_cipher_decrypt(cipher, plain.data(), plain.size(), sealed.data() + kSivLength, plain.size());
    if (error == 0) error = gcry_cipher_checktag(cipher, sealed.data(), kSivLength);
    gcry_cipher_close(cipher);
    if (error != 0) {
        Wipe(plain.data(), plain.size());
        return catalog::Failure(catalog::StoreCode::Corrupt,
                                "a name that does not authenticate under this vault's key");
    }
    if (plain.find('\0') != std::string::npos || plain.empty())
        return catalog::Failure(catalog::StoreCode::Corrupt, "a sealed name that is empty or holds a NUL");
    name = std::move(plain);
    return catalog::Success();
}

}  // namespace vault
