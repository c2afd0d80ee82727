#include "app/model.h"

namespace app {

std::optional<std::uint64_t> ReadFolderId(const std::string& id) {
    if (id.empty() || id.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : id) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

}  // namespace app
