// Modification times set through a drive (cp -p, rsync, touch). The
// stored-file format keeps when a file was stored, not its own time, so
// the drive remembers what was set, by file key and size, in a small file
// under its cache directory; a file shows its stored time elsewhere.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

namespace catalog {

class Times {
public:
    explicit Times(std::filesystem::path file) : file_(std::move(file)) {}
    void Load();
    // 0 when none is known for the key at this size.
    std::int64_t Find(const std::string& key, std::uint64_t size);
    void Set(const std::string& key, std::uint64_t size, std::int64_t ns);
    void Forget(const std::string& key);

private:
    void Save();  // mutex_ held
    std::filesystem::path file_;
    std::mutex mutex_;
    std::map<std::string, std::pair<std::uint64_t, std::int64_t>> times_;
};

}  // namespace catalog
