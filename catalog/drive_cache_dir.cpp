#include "catalog/drive_cache_dir.h"

#include <fstream>

namespace catalog {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMarkerText = "This directory is a cache of Vantlo's mount; it may be emptied at any time.\n";

// What an unmarked cache of an earlier version held.
bool EarlierCacheEntry(const fs::path& name) {
    for (const char* ours : {"lock", "files", "pending", "times", "times.new"})
        if (name == ours) return true;
    return false;
}

// What the cache holds (names, bytes and times of the user's files) is for
// the user alone.
bool KeepPrivate(const fs::path& dir, std::string& problem) {
    std::error_code error;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, error);
    if (error) problem = "cannot make " + dir.string() + " private: " + error.message();
    return !error;
}

}  // namespace

bool ClaimCacheDir(const fs::path& dir, bool isDefault, std::string& problem) {
    std::error_code error;
    const fs::path marker = dir / kCacheDirMarker;
    if (fs::is_symlink(marker, error) || (fs::exists(marker, error) && !fs::is_regular_file(marker, error))) {
        problem = marker.string() + " is not a file a cache would hold";
        return false;
    }
    if (fs::is_regular_file(marker, error)) return KeepPrivate(dir, problem);
    fs::create_directories(dir, error);
    if (!fs::is_directory(dir, error)) {
        problem = dir.string() + " cannot be made a directory";
        return false;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        if (isDefault && EarlierCacheEntry(entry.path().filename())) continue;
        problem = dir.string() + " already holds other files (" + entry.path().filename().string() +
                  "); name a new or empty directory for the cache";
        return false;
    }
    if (error) {
        problem = dir.string() + " cannot be read: " + error.message();
        return false;
    }
    std::ofstream out(marker, std::ios::binary | std::ios::trunc);
    out << kMarkerText;
    out.close();
    if (!out) {
        problem = "cannot write in " + dir.string();
        return false;
    }
    return KeepPrivate(dir, problem);
}

}  // namespace catalog
