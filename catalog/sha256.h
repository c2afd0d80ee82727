// SHA-256 over every byte that goes into or comes out of the mailbox. Two
// engines compute the same digests: a portable one, and one on the x86 SHA
// instructions where the processor has them (several times faster).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace catalog {

using Sha256Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    enum class Engine { Portable, ShaExtensions };
    // ShaExtensions when this processor has them, else Portable.
    static Engine Fastest();

    explicit Sha256(Engine engine = Fastest());
    void Update(const void* data, std::size_t size);
    // The digest of everything given so far; the object starts over after.
    Sha256Digest Finish();
    std::string FinishHex() { return DigestHex(Finish()); }

    static std::string DigestHex(const Sha256Digest& digest);

private:
    void Reset();
    void Compress(const std::uint8_t* blocks, std::size_t count);

    Engine engine_;
    std::uint32_t state_[8];
    std::uint8_t buffer_[64];
    std::size_t buffered_ = 0;
    std::uint64_t total_ = 0;
};

}  // namespace catalog
