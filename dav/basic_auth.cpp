#include "dav/basic_auth.h"

#include <cctype>

#include "platform/base64.h"

namespace dav {

BasicAuth::BasicAuth(const std::string& user, const std::string& password)
    : expected_(platform::Base64(user + ':' + password)) {}

bool BasicAuth::Accepts(const std::string* authorization) const {
    if (!Required()) return true;
    if (!authorization) return false;
    const std::string& value = *authorization;
    // The scheme's name in any case, then the credentials after spaces.
    static const char kScheme[] = "basic";
    std::size_t at = 0;
    for (; at < 5; ++at) {
        if (at >= value.size() || std::tolower(static_cast<unsigned char>(value[at])) != kScheme[at]) return false;
    }
    if (at >= value.size() || value[at] != ' ') return false;
    while (at < value.size() && value[at] == ' ') ++at;
    std::size_t end = value.size();
    while (end > at && value[end - 1] == ' ') --end;
    const std::size_t length = end - at;
    unsigned difference = length == expected_.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected_.size(); ++i) {
        const char given = i < length ? value[at + i] : '\0';
        difference |= static_cast<unsigned char>(given ^ expected_[i]);
    }
    return difference == 0;
}

}  // namespace dav
