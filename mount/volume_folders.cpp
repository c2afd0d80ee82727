// The directory tree: folders by their shown paths (from one listing of the
// store's folders, by parent), and the directory changes: mkdir at any
// depth, rmdir of an empty folder, and a directory's rename or move as one
// folder operation of the store (no file is sent again).
#include <algorithm>
#include <cerrno>
#include <functional>
#include <set>
#include <thread>

#include "catalog/drive_names.h"
#include "mount/errno_map.h"
#include "mount/log.h"
#include "mount/volume.h"
#include "mount/volume_detail.h"

namespace mount {
namespace {

// A path level's "／" is a "/" of the folder's name (the mount shows it so).
std::string NameOfLevel(const std::string& level) {
    static const std::string wide = "\xEF\xBC\x8F";
    std::string name = level;
    for (std::string::size_type at; (at = name.find(wide)) != std::string::npos;) name.replace(at, wide.size(), "/");
    return name;
}

// The folders by shown path; a folder whose parent is unknown, or that is
// its own ancestor (a confused store), shows at the top.
std::map<std::string, catalog::FolderInfo> FoldersByPath(const std::vector<catalog::FolderInfo>& listed) {
    std::map<std::string, std::vector<const catalog::FolderInfo*>> children;
    std::set<std::string> known;
    for (const catalog::FolderInfo& folder : listed) known.insert(folder.id);
    for (const catalog::FolderInfo& folder : listed)
        children[known.count(folder.parentId) && folder.parentId != folder.id ? folder.parentId : ""].push_back(
            &folder);
    std::map<std::string, catalog::FolderInfo> byPath;
    std::set<std::string> placed;
    std::function<void(const std::string&, const std::string&)> place = [&](const std::string& parentId,
                                                                            const std::string& prefix) {
        const auto& here = children[parentId];
        std::vector<catalog::Named> names;
        for (const catalog::FolderInfo* folder : here) names.push_back({folder->name, folder->id});
        std::vector<std::string> shown = catalog::UniqueNames(names);
        for (std::size_t i = 0; i < here.size(); ++i) {
            if (!placed.insert(here[i]->id).second) continue;
            byPath[prefix + shown[i]] = *here[i];
            place(here[i]->id, prefix + shown[i] + "/");
        }
    };
    place("", "");
    return byPath;
}

int FolderFailure(const char* what, const std::string& path, const catalog::Outcome& outcome) {
    const int error = FolderErrnoOf(outcome);
    if (error == EIO || error == ENOSPC) Log(std::string(what) + " " + path + ": " + outcome.Text());
    return -error;
}

}  // namespace

int Volume::Folders(std::map<std::string, catalog::FolderInfo>& folders, bool fresh) {
    {
        Lock lock(mutex_);
        if (!fresh && foldersLoaded_ && Clock::now() - foldersAt_ < std::chrono::milliseconds(options_.dirCacheMs)) {
            folders = folders_;
            return 0;
        }
    }
    std::vector<catalog::FolderInfo> listed;
    Outcome outcome = pool_.Run([&](catalog::MailStore& store) { return store.ListFolders(listed); });
    if (!outcome.Ok()) return LogFailure("listing", "/", outcome);
    folders = FoldersByPath(listed);
    Lock lock(mutex_);
    folders_ = folders;
    foldersAt_ = Clock::now();
    foldersLoaded_ = true;
    return 0;
}

int Volume::FolderId(const std::string& shown, std::string& id) {
    std::map<std::string, catalog::FolderInfo> folders;
    int error = Folders(folders);
    if (error) return error;
    auto found = folders.find(shown);
    if (found == folders.end()) return -ENOENT;
    id = found->second.id;
    return 0;
}

int Volume::ParentId(const Path& path, std::string& id) {
    id.clear();
    if (path.depth <= 1) return path.depth < 0 ? -ENOENT : 0;
    return FolderId(path.dir, id);
}

int Volume::MakeDir(const std::string& path) {
    Path split = Split(path);
    if (split.depth <= 0) return split.depth < 0 ? -ENOENT : -EEXIST;
    std::string id, parentId, folderId;
    if (FolderId(split.full, id) == 0) return -EEXIST;
    int error = ParentId(split, parentId);
    if (!error) error = RefuseInVault(parentId);
    if (error) return error;
    Node node;
    catalog::FileEntry file;
    if (split.depth >= 2 && Lookup(split, folderId, node, file) == 0) return -EEXIST;
    Outcome outcome = pool_.Run(
        [&](catalog::MailStore& store) { return store.CreateFolder(parentId, NameOfLevel(split.name), id); }, false);
    std::map<std::string, catalog::FolderInfo> folders;
    Folders(folders, true);
    // Failed, though the folder was not listed a moment ago and is now: made
    // meanwhile by another client, made and refused as existing all the same
    // (Dovecot does so now and then when another connection made a sibling
    // a moment before), or made before the answer was lost. It is there,
    // which is what was asked.
    if (!outcome.Ok() && folders.count(split.full)) return 0;
    return outcome.Ok() ? 0 : FolderFailure("making folder", path, outcome);
}

int Volume::RemoveDir(const std::string& path) {
    Path split = Split(path);
    if (split.depth <= 0) return split.depth < 0 ? -ENOENT : -EBUSY;
    std::map<std::string, catalog::FolderInfo> folders;
    int error = Folders(folders);
    if (error) return error;
    auto found = folders.find(split.full);
    if (found == folders.end()) {
        std::string folderId;
        Node node;
        catalog::FileEntry file;
        return split.depth >= 2 && Lookup(split, folderId, node, file) == 0 ? -ENOTDIR : -ENOENT;
    }
    if (found->second.system) return -EACCES;
    std::string parentId;
    if ((error = ParentId(split, parentId)) || (error = RefuseInVault(parentId))) return error;
    const std::string prefix = split.full + "/";
    if (folders.lower_bound(prefix) != folders.end() &&
        folders.lower_bound(prefix)->first.compare(0, prefix.size(), prefix) == 0)
        return -ENOTEMPTY;
    const std::string id = found->second.id;
    // A file deleted while its store was under way may have mails in the
    // folder already; they are hidden (and trashed) once that store ends.
    const auto until = Clock::now() + std::chrono::milliseconds(options_.longestSyncWaitMs);
    for (;;) {
        {
            Lock lock(mutex_);
            if (std::none_of(pending_.begin(), pending_.end(),
                             [&](const auto& pending) { return pending->removed && pending->record.folderId == id; }))
                break;
        }
        if (Clock::now() > until) return -EBUSY;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error = RefreshListing(id);
    if (error) return error;
    {
        Lock lock(mutex_);
        // A vault shows empty but is not: its mails must never go with it.
        if (!View(id).empty() || listings_[id].vault) return -ENOTEMPTY;
    }
    Outcome outcome = pool_.Run([&](catalog::MailStore& store) { return store.DeleteFolder(id); });
    Folders(folders, true);
    return outcome.Ok() ? 0 : FolderFailure("removing folder", path, outcome);
}

// One folder operation whatever the folder holds: a move under another
// parent (MoveFolder) and a new name (RenameFolder).
int Volume::RenameFolder(const Path& source, const Path& target, bool noReplace) {
    std::map<std::string, catalog::FolderInfo> folders;
    int error = Folders(folders);
    if (error) return error;
    auto found = folders.find(source.full);
    if (found == folders.end()) return -ENOENT;
    if (source.full == target.full) return 0;
    if (target.full.compare(0, source.full.size() + 1, source.full + "/") == 0) return -EINVAL;
    if (folders.count(target.full)) return noReplace ? -EEXIST : -ENOTEMPTY;
    if (found->second.system) return -EACCES;
    std::string parentId, targetFolder, sourceParent;
    error = ParentId(target, parentId);
    if (!error) error = RefuseInVault(parentId);
    if (!error) error = ParentId(source, sourceParent);
    if (!error) error = RefuseInVault(sourceParent);
    if (error) return error;
    Node node;
    catalog::FileEntry file;
    if (target.depth >= 2 && Lookup(target, targetFolder, node, file) == 0) return -ENOTDIR;
    {
        // An IMAP folder's id is its name: files on their way into it (or
        // below it) are stored before it moves, as an fsync would store them.
        // One still open for writing keeps the folder where it is.
        const std::string prefix = source.full + "/";
        std::set<std::string> moving;
        for (auto& [shown, info] : folders)
            if (shown == source.full || shown.compare(0, prefix.size(), prefix) == 0) moving.insert(info.id);
        std::vector<std::shared_ptr<Pending>> storing;
        {
            Lock lock(mutex_);
            for (const auto& pending : pending_) {
                if (pending->removed || pending->untouched || !moving.count(pending->record.folderId)) continue;
                if (pending->opens > 0) return -EBUSY;
                storing.push_back(pending);
            }
        }
        for (const auto& pending : storing)
            if (Outcome stored = queue_.WaitStored(pending); !stored.Ok())
                return -(ErrnoOf(stored) ? ErrnoOf(stored) : EIO);
    }
    const catalog::FolderInfo folder = found->second;
    const std::string name = NameOfLevel(target.name);
    Outcome outcome;
    if (folder.parentId != parentId)
        outcome = pool_.Run([&](catalog::MailStore& store) { return store.MoveFolder(folder.id, parentId); });
    if (outcome.Ok() && source.name != target.name) {
        // A move may give an IMAP folder a new id: look it up again under its new parent.
        std::string id = folder.id;
        if (folder.parentId != parentId) {
            Folders(folders, true);
            const std::string moved = target.dir.empty() ? source.name : target.dir + "/" + source.name;
            if (folders.count(moved)) id = folders[moved].id;
        }
        outcome = pool_.Run([&](catalog::MailStore& store) { return store.RenameFolder(id, name); });
    }
    Folders(folders, true);
    {
        Lock lock(mutex_);
        listings_.clear();  // folder ids below it may have changed
    }
    return outcome.Ok() ? 0 : FolderFailure("renaming folder", source.full, outcome);
}

}  // namespace mount
