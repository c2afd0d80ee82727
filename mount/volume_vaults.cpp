// The drive's vaults: which listing is one and what it shows (the files by
// their own names once the vault opens), what is refused in one, and
// opening a vault's file into a plain copy that lives while it is open.
#include <algorithm>
#include <cerrno>

#include "catalog/drive_names.h"
#include "mount/log.h"
#include "mount/volume.h"
#include "mount/volume_detail.h"

namespace mount {

void Volume::ShowVault(catalog::MailStore& store, const std::string& folderId, std::vector<catalog::FileEntry>& files,
                       bool& vault, bool& unlocked, std::map<std::string, catalog::FileEntry>& sealed) {
    vault = std::any_of(files.begin(), files.end(),
                        [](const catalog::FileEntry& file) { return file.name == catalog::kVaultFileName; });
    unlocked = vault && options_.vaults && options_.vaults->Unlock(store, folderId);
    if (!unlocked) return;
    std::vector<catalog::FileEntry> shown;
    for (catalog::FileEntry& file : files) {
        std::string plain;
        if (file.name == catalog::kVaultFileName || !options_.vaults->OpenName(folderId, file.name, plain)) continue;
        catalog::FileEntry entry = file;
        entry.name = plain;
        entry.sizeKnown = file.sizeKnown && options_.vaults->PlainSize(file.size, entry.size);
        sealed[file.key] = std::move(file);
        shown.push_back(std::move(entry));
    }
    files = std::move(shown);
}

int Volume::RefuseInVault(const std::string& folderId, bool filesOfAnOpenedOne) {
    if (folderId.empty()) return 0;
    if (int error = EnsureListing(folderId)) return error;
    Lock lock(mutex_);
    const Listing& listing = listings_[folderId];
    return (filesOfAnOpenedOne ? listing.Locked() : listing.vault) ? -EACCES : 0;
}

int Volume::OpenVaultFile(const std::string& folderId, const catalog::FileEntry& file, Handle& handle) {
    catalog::FileEntry stored;
    {
        Lock lock(mutex_);
        const auto& sealed = listings_[folderId].sealed;
        auto found = sealed.find(file.key);
        if (found == sealed.end()) return -ENOENT;
        stored = found->second;
    }
    if (!stored.Whole()) {
        Log(file.name + " is incomplete: " + stored.Problems());
        return -EIO;
    }
    std::error_code error;
    const fs::path dir = options_.openedDir.empty() ? fs::temp_directory_path(error) : options_.openedDir;
    fs::create_directories(dir, error);
    const std::string id = journal_.NewId();
    const fs::path sealedPath = dir / (id + ".sealed"), plainPath = dir / (id + ".plain");
    std::string problem;
    int failed = 0;
    {
        platform::LocalFile copy;
        failed = copy.CreateNew(sealedPath, 0600, problem) ? FetchWhole(stored, copy) : -EIO;
    }
    if (!failed) {
        const Outcome opened = options_.vaults->OpenFile(folderId, sealedPath, plainPath, file.name);
        if (!opened.Ok()) failed = LogFailure("opening", file.name, opened);
    }
    fs::remove(sealedPath, error);
    handle.opened = std::make_unique<platform::LocalFile>();
    if (!failed && !handle.opened->OpenExisting(plainPath, problem)) failed = -EIO;
    if (failed) {
        handle.opened.reset();
        fs::remove(plainPath, error);
        return failed;
    }
    handle.openedPath = plainPath;
    handle.file = file;
    return 0;
}

}  // namespace mount
