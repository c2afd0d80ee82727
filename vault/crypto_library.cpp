#include "vault/crypto_library.h"

#include <gcrypt.h>

#include <mutex>

namespace vault {
namespace {

// 1.10 brought Argon2 and AES-SIV.
constexpr const char* kNeededVersion = "1.10.0";
// Enough for every key of a few hundred files open at once; the pool grows
// by itself past that (then without the lock against swapping).
constexpr int kSecureMemoryBytes = 256 * 1024;

}  // namespace

catalog::Outcome StartCryptoLibrary() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
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
    return catalog::Failure(catalog::StoreCode::Refused,
                            std::string("libgcrypt ") + kNeededVersion + " or later is needed, found " +
                                gcry_check_version(nullptr));
}

}  // namespace vault
