// Prints what the vault's cryptography costs here: Argon2id at the default
// settings (once per command that opens a vault), and sealing and opening
// in MiB/s over bytes in memory (scripts/bench.sh runs it).
// Usage: vantlo-vault-speed [MiB]   (default 256)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vault/crypto_library.h"
#include "vault/records.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    if (mib == 0 || !vault::StartCryptoLibrary().Ok()) return 2;
    const vault::KdfSettings defaults;
    vault::SecretBytes wrappingKey;
    Clock::time_point start = Clock::now();
    if (!vault::DeriveFromPassphrase("bench passphrase", vault::RandomBytes(16), defaults, 32, wrappingKey).Ok())
        return 1;
    std::printf("vault: Argon2id (%u KiB, %u passes, %u lane): %.0f ms\n", defaults.memoryKiB, defaults.passes,
                defaults.lanes, Seconds(start) * 1000);

    vault::SecretBytes master(32);
    vault::RandomSecret(master);
    const vault::VaultKey key(std::move(master), vault::RandomBytes(16));
    const vault::Bytes plain = vault::RandomBytes(1 << 20);
    // Touched before the clock starts, so that page faults are not timed.
    vault::Bytes sealed(vault::SealedSize(mib << 20), 1);
    std::size_t filled = 0;
    start = Clock::now();
    vault::RecordSealer sealer(key, vault::RandomBytes(16), [&](const std::uint8_t* data, std::size_t size) {
        std::memcpy(sealed.data() + filled, data, size);
        filled += size;
        return true;
    });
    for (std::size_t i = 0; i < mib; ++i)
        if (!sealer.Write(plain.data(), plain.size()).Ok()) return 1;
    if (!sealer.Finish().Ok()) return 1;
    const double sealSeconds = Seconds(start);

    std::size_t opened = 0;
    start = Clock::now();
    // The opener checks the file id against the name and bytes at the end;
    // a random id fails there, after every record was opened and timed.
    vault::RecordOpener opener(key, "bench", [&opened](const std::uint8_t*, std::size_t size) {
        opened += size;
        return true;
    });
    if (!opener.Write(sealed.data(), sealed.size()).Ok()) return 1;
    opener.Finish();
    const double openSeconds = Seconds(start);
    if (opened != (mib << 20)) return 1;
    std::printf("vault: seal %zu MiB (ChaCha20-Poly1305, 64 KiB records): %.0f MiB/s; open: %.0f MiB/s\n", mib,
                static_cast<double>(mib) / sealSeconds, static_cast<double>(mib) / openSeconds);
    return 0;
}
