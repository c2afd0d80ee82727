#include "catalog/drive_names.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <unordered_set>

#include "catalog/local_name.h"

namespace catalog {
namespace {

// 64-bit FNV-1a, as 16 hex digits.
std::string Digest(const std::string& key) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

// "stem~MARK.ext"; a leading dot starts no extension (".profile~MARK").
std::string Marked(const std::string& name, const std::string& mark) {
    std::string::size_type dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    return name.substr(0, dot) + "~" + mark + name.substr(dot);
}

}  // namespace

std::string UsableName(const std::string& name) {
    if (name.empty()) return "_";
    if (name == "." || name == "..") return "_" + name;
    std::string usable;
    // A name the local-name rule refuses (a NUL, a control character, a
    // reordering mark, bytes that are not UTF-8) is shown escaped, so it is
    // visible for what it is and can be read, renamed or removed.
    if (!catalog::LocalNameFor(name, usable, catalog::LocalNameRules::Posix).Ok()) usable = catalog::EscapedName(name);
    // One level of a path: a name's own "/" shows as the full-width solidus.
    std::string shown;
    for (char c : usable) shown += c == '/' ? std::string("\xEF\xBC\x8F") : std::string(1, c);
    return shown;
}

std::vector<std::string> UniqueNames(const std::vector<Named>& entries) {
    std::vector<std::string> shown(entries.size());
    std::unordered_set<std::string> taken;
    // Plain names first, so that a file really named "a~1234abcd.txt" keeps
    // its name rather than losing it to a mark.
    std::vector<bool> marked(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        shown[i] = UsableName(entries[i].name);
        marked[i] = !taken.insert(shown[i]).second;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!marked[i]) continue;
        const std::string digest = Digest(entries[i].key);
        std::string candidate;
        bool placed = false;
        for (std::size_t digits = 8; digits <= digest.size() && !placed; ++digits)
            placed = taken.insert(candidate = Marked(shown[i], digest.substr(0, digits))).second;
        for (unsigned n = 2; !placed; ++n)
            placed = taken.insert(candidate = Marked(shown[i], digest + "-" + std::to_string(n))).second;
        shown[i] = candidate;
    }
    return shown;
}

namespace {

bool StartsWith(const std::string& name, const char* prefix) {
    return name.rfind(prefix, 0) == 0;
}

bool EndsWithNoCase(const std::string& name, const std::string& suffix) {
    return name.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), name.end() - suffix.size(),
                      [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// rsync's ".name.XXXXXX": a hidden name whose last dot is followed by six
// letters or digits.
bool LooksLikeRsyncTemporary(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return name.size() > 8 && name[0] == '.' && dot > 1 && dot == name.size() - 7 &&
           std::all_of(name.begin() + dot + 1, name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

}  // namespace

bool LooksTemporary(const std::string& name) {
    static const char* const kSuffixes[] = {"~",     ".tmp",     ".temp",       ".swp",      ".swx",
                                            ".part", ".partial", ".crdownload", ".kate-swp", ".vantlo-partial"};
    // vantlo-dav's own upload name is among them: a PUT lands there first.
    static const char* const kPrefixes[] = {".~lock.", "~$", ".#", ".goutputstream-", ".syncthing.", ".~vantlo-put-"};
    if (name == "4913") return true;                                                // vim's probe of the folder
    if (name.size() > 2 && name.front() == '#' && name.back() == '#') return true;  // Emacs's auto-save
    for (const char* suffix : kSuffixes)
        if (EndsWithNoCase(name, suffix)) return true;
    for (const char* prefix : kPrefixes)
        if (StartsWith(name, prefix)) return true;
    return LooksLikeRsyncTemporary(name);
}

}  // namespace catalog
