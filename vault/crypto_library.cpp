#include "vault/crypto_library.h"

#include <gcrypt.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace vault {
namespace {

// 1.10 brought Argon2 and AES-SIV.
constexpr const char* kNeededVersion = "1.10.0";
// Enough for every key of a few hundred files open at once; the pool grows
// by itself past that (then without the lock against swapping).
constexpr int kSecureMemoryBytes = 256 * 1024;

// The library's notes (on Windows its random gatherer says "you should run
// 'diskperf -y'" on every start) are no business of our users; warnings
// and errors still reach standard error.
void LogWarningsOnly(void*, int level, const char* format, va_list arguments) {
    if (level < GCRY_LOG_WARN) return;
    std::fputs("libgcrypt: ", stderr);
    std::vfprintf(stderr, format, arguments);
}

}  // namespace

catalog::Outcome StartCryptoLibrary() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        gcry_set_log_handler(LogWarningsOnly, nullptr);
        // Random bytes straight from the system's generator (getrandom,
        // BCryptGenRandom): no pool of our own to seed, save or leak.
        gcry_control(GCRYCTL_SET_PREFERRED_RNG_TYPE, GCRY_RNG_TYPE_SYSTEM);
        if (!gcry_check_version(kNeededVersion)) return;
        // Without the right to lock memory the pool still works, unlocked:
        // the warning would only reach the user's terminal.
        gcry_control(GCRYCTL_DISABLE_SECMEM_WARN);
        gcry_control(GCRYCTL_INIT_SECMEM, kSecureMemoryBytes, 0);
        gcry_control(GCRYCTL_AUTO_EXPAND_SECMEM, kSecureMemoryBytes, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        started = true;
    });
    if (started) return catalog::Success();
    return catalog::Failure(
        catalog::StoreCode::Refused,
        std::string("libgcrypt ") + kNeededVersion + " or later is needed, found " + gcry_check_version(nullptr));
}

}  // namespace vault
