#include "catalog/manifest_cache.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <system_error>
#include <vector>

#include "catalog/format_values.h"
#include "catalog/part_mark.h"
#include "platform/local_file.h"
#include "platform/private_file.h"

namespace catalog {

namespace {

constexpr char kHeader[] = "vantlo-manifest-cache 1";
// Far more than the capacity's lines take.
constexpr std::size_t kLargestFile = 256u << 20;

// The subject of the file's key mail, as the listing showed it.
std::string KeySubject(const FileEntry& file) {
    if (file.parts == 1 || file.present.empty()) return file.name;
    return PartSubject(file.name, file.present.front().number, file.parts, file.tag);
}

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

bool ParseHex64(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 16) return false;
    value = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    return true;
}

}  // namespace

bool ManifestCache::Find(const FileEntry& file, KnownFile& known) {
    auto found = entries_.find(file.key);
    if (found == entries_.end() || file.present.empty() || found->second.subjectHash != Fnv1a(KeySubject(file)) ||
        found->second.listedSize != file.present.front().listedSize)
        return false;
    found->second.used = ++clock_;
    known = found->second.file;
    return true;
}

void ManifestCache::Put(const FileEntry& file, const KnownFile& known) {
    if (file.present.empty()) return;
    Add(file.key, {Fnv1a(KeySubject(file)), file.present.front().listedSize, known, ++clock_});
}

void ManifestCache::Add(const std::string& mailId, const Entry& entry) {
    entries_[mailId] = entry;
    if (entries_.size() <= capacity_ + capacity_ / 8) return;
    // Over the capacity by an eighth: back to it in one sweep.
    std::vector<std::uint64_t> uses;
    uses.reserve(entries_.size());
    for (const auto& [id, kept] : entries_) uses.push_back(kept.used);
    auto cut = uses.begin() + static_cast<std::ptrdiff_t>(uses.size() - capacity_);
    std::nth_element(uses.begin(), cut, uses.end());
    const std::uint64_t oldestKept = *cut;
    for (auto it = entries_.begin(); it != entries_.end();)
        it = it->second.used < oldestKept ? entries_.erase(it) : std::next(it);
}

void ManifestCache::Load(const std::filesystem::path& path) {
    entries_.clear();
    clock_ = 0;
    std::string bytes;
    if (!platform::ReadPrivateFile(path, kLargestFile, bytes)) return;
    std::istringstream in(bytes);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) return;
    while (std::getline(in, line)) {
        // ID, subject hash, listed size, flags, size, stored[, modified]:
        // tab-separated (files of earlier versions have no modified).
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        Entry entry;
        std::uint64_t stored = 0, modified = 0;
        if (fields.size() == 7 && !ParseDecimal(fields[6], INT64_MAX, modified)) continue;
        if ((fields.size() != 6 && fields.size() != 7) || fields[0].empty() ||
            !ParseHex64(fields[1], entry.subjectHash) || !ParseDecimal(fields[2], UINT64_MAX, entry.listedSize) ||
            fields[3].size() != 2 || !ParseDecimal(fields[4], UINT64_MAX, entry.file.size) ||
            !ParseDecimal(fields[5], INT64_MAX, stored))
            continue;
        entry.file.sizeKnown = fields[3][0] == 'S';
        entry.file.hasManifest = fields[3][1] == 'M';
        entry.file.damaged = fields[3][1] == 'D';
        entry.file.stored = static_cast<std::int64_t>(stored);
        entry.file.modified = static_cast<std::int64_t>(modified);
        entry.used = ++clock_;
        Add(fields[0], entry);
    }
}

bool ManifestCache::Save(const std::filesystem::path& path) const {
    std::vector<std::pair<std::uint64_t, const std::string*>> order;
    for (const auto& [id, entry] : entries_) order.emplace_back(entry.used, &id);
    std::sort(order.begin(), order.end());
    // Names and sizes of every file are nobody else's business: 0600 in a 0700 directory.
    if (!platform::MakePrivateDirectory(path.parent_path())) return false;
    std::ostringstream out;
    out << kHeader << '\n';
    char hash[17];
    for (const auto& [used, id] : order) {
        if (id->find_first_of("\t\r\n") != std::string::npos) continue;  // would break the line
        const Entry& entry = entries_.at(*id);
        std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(entry.subjectHash));
        out << *id << '\t' << hash << '\t' << entry.listedSize << '\t' << (entry.file.sizeKnown ? 'S' : '-')
            << (entry.file.hasManifest ? 'M'
                : entry.file.damaged   ? 'D'
                                       : '-')
            << '\t' << entry.file.size << '\t' << (entry.file.stored > 0 ? entry.file.stored : 0) << '\t'
            << (entry.file.modified > 0 ? entry.file.modified : 0) << '\n';
    }
    return platform::WritePrivateFile(path, out.str());
}

}  // namespace catalog
