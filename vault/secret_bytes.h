// Key material: held in libgcrypt's locked ("secure") memory where the
// pool allows, wiped before it is given back. Cannot be copied, so a key
// lives in exactly one place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vault {

class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t size);  // zero-filled
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

private:
    void Release();

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// Overwrites the bytes in a way the compiler may not drop.
void Wipe(void* data, std::size_t size);

}  // namespace vault
