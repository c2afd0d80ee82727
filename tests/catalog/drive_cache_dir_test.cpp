// A drive's cache directory: taken only when new, empty or marked as ours
// (or, for the drive's own default, left by an earlier version); anything
// else is refused and left exactly as it was.
#include <gtest/gtest.h>

#include "catalog/drive_cache_dir.h"
#include "scratch_files.h"

namespace {

namespace fs = std::filesystem;

TEST(DriveCacheDir, OnlyANewEmptyOrMarkedDirectoryIsTaken) {
    testsupport::ScratchDir scratch;
    const fs::path dir = scratch.path / "d";
    const struct {
        const char* what;
        std::vector<const char*> files;  // made below the directory first; "-" makes no directory at all
        bool isDefault;
        bool taken;
    } table[] = {
        {"a directory not there yet", {"-"}, false, true},
        {"an empty directory", {}, false, true},
        {"a marked directory with its contents", {catalog::kCacheDirMarker, "files/1", "pending/x.entry"}, false, true},
        {"a user's directory", {"thesis.tex"}, false, false},
        {"a user's directory of cache-like names", {"files/photo.jpg", "pending/sub/notes.txt", "times"}, false, false},
        {"the default left by an earlier version", {"lock", "files/3", "pending/a.entry", "times"}, true, true},
        {"the default holding something else", {"lock", "notes.txt"}, true, false},
        {"a marker that is a directory", {"vantlo-cache/x"}, false, false},
    };
    for (const auto& c : table) {
        fs::remove_all(dir);
        if (c.files.empty() || std::string(c.files[0]) != "-") fs::create_directories(dir);
        for (const char* name : c.files)
            if (std::string(name) != "-") testsupport::WriteFile(dir / name, name);
        std::string problem;
        EXPECT_EQ(catalog::ClaimCacheDir(dir, c.isDefault, problem), c.taken) << c.what << ": " << problem;
        EXPECT_EQ(fs::is_regular_file(dir / catalog::kCacheDirMarker), c.taken) << c.what;
        EXPECT_EQ(problem.empty(), c.taken) << c.what;
        if (c.taken) {
            EXPECT_EQ(fs::status(dir).permissions() & fs::perms::all, fs::perms::owner_all) << c.what;
        }
        for (const char* name : c.files) {
            if (std::string(name) == "-" || std::string(name) == catalog::kCacheDirMarker) continue;
            EXPECT_EQ(testsupport::ReadFile(dir / name), name) << c.what << ": " << name;
        }
    }
}

}  // namespace
