#include "signin/password_protection.h"

#include "platform/data_protection.h"

namespace signin {
namespace {

// Ties the protected bytes to this program: another program of the same
// user that calls CryptUnprotectData without it gets nothing.
const char kEntropy[] = "Vantlo saved password";

}  // namespace

std::optional<std::vector<unsigned char>> ProtectPassword(const std::string& password) {
    const std::optional<std::string> sealed = platform::SealForUser(password, kEntropy);
    if (!sealed) return std::nullopt;
    return std::vector<unsigned char>(sealed->begin(), sealed->end());
}

std::optional<std::string> UnprotectPassword(const std::vector<unsigned char>& stored) {
    return platform::UnsealForUser(std::string(stored.begin(), stored.end()), kEntropy);
}

}  // namespace signin
