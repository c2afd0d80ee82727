#include "mailbox/cache_dir.h"

#include <cstdlib>

namespace mailbox {

std::filesystem::path UserCacheDir() {
#ifdef _WIN32
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && local[0])
        return std::filesystem::path(local) / "Vantlo";
#else
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        return std::filesystem::path(cache) / "vantlo";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return std::filesystem::path(home) / ".cache" / "vantlo";
#endif
    return {};
}

std::filesystem::path CacheDir(const MailboxOptions& options) {
    return options.cacheDir.empty() ? UserCacheDir() : options.cacheDir;
}

std::string FoldedName(const std::string& text) {
    std::string name;
    for (char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '@' || c == '.' || c == '-' || c == '_';
        name.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : plain ? c : '_');
    }
    return name;
}

std::filesystem::path AccountCachePath(const MailboxOptions& options, const char* ending) {
    const std::filesystem::path base = CacheDir(options);
    if (base.empty() || options.account.empty()) return {};
    return base / (FoldedName(options.account) + ending);
}

}  // namespace mailbox
