#include "vault/secret_bytes.h"

#include <gcrypt.h>

#include <new>
#include <utility>

#include "vault/crypto_library.h"

namespace vault {

void Wipe(void* data, std::size_t size) {
    volatile std::uint8_t* bytes = static_cast<volatile std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = 0;
}

SecretBytes::SecretBytes(std::size_t size) : size_(size) {
    if (size == 0) return;
    // The secure pool is set up by the library's start; allocating first
    // would set up a default one and make the start complain.
    (void)StartCryptoLibrary();
    data_ = static_cast<std::uint8_t*>(gcry_calloc_secure(1, size));
    if (!data_) throw std::bad_alloc();
}

SecretBytes::~SecretBytes() {
    Release();
}

SecretBytes::SecretBytes(SecretBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void SecretBytes::Release() {
    if (!data_) return;
    Wipe(data_, size_);
    gcry_free(data_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace vault
