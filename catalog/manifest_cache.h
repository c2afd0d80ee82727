// What the manifests of mails said about their files (exact size, when
// stored), by mail id, so that a folder's files can be listed with their
// real sizes without reading every mail each time. A mail's text never
// changes, so an entry stays true for as long as its mail exists; it is
// also keyed by the mail's subject and listed size, so that an id the
// mailbox gave out again to another mail is not taken for the old one.
//
// In memory for the mount and the desktop; on disk for the command-line client, one file
// per account under the user's cache directory, rewritten whole (beside
// it, then renamed over it) so that a reader never sees half a file.
// Kept to a capacity: the entries used longest ago leave first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>

#include "catalog/file_grouping.h"

namespace catalog {

struct KnownFile {
    bool sizeKnown = false;  // false for a damaged manifest or a mail without attachment
    bool hasManifest = false;
    std::uint64_t size = 0;     // the whole file's bytes
    std::int64_t stored = 0;    // UTC seconds from the manifest; 0 without one
    bool damaged = false;       // the key mail's manifest does not read
    std::int64_t modified = 0;  // the file's own time from the manifest (UTC seconds); 0 without one
};

class ManifestCache {
public:
    static constexpr std::size_t kDefaultCapacity = 50000;
    explicit ManifestCache(std::size_t capacity = kDefaultCapacity) : capacity_(capacity ? capacity : 1) {}

    // The entry of the key mail of `file`, when it is still the same mail.
    bool Find(const FileEntry& file, KnownFile& known);
    void Put(const FileEntry& file, const KnownFile& known);
    std::size_t Size() const { return entries_.size(); }

    // Load replaces what the cache holds with the file's entries (none when
    // there is no file or it is not a cache); lines it cannot read are
    // skipped. Save returns false when the file could not be written.
    void Load(const std::filesystem::path& path);
    bool Save(const std::filesystem::path& path) const;

private:
    struct Entry {
        std::uint64_t subjectHash = 0;
        std::uint64_t listedSize = 0;
        KnownFile file;
        std::uint64_t used = 0;  // when it was last put or found
    };
    void Add(const std::string& mailId, const Entry& entry);

    std::size_t capacity_;
    std::uint64_t clock_ = 0;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace catalog
