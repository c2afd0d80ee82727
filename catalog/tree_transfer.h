// Trees of files: a local directory walked into relative paths, a folder
// of the mailbox walked with everything nested in it, and both moved through
// the one parallel, resuming engine (PutFiles, GetFiles) with one progress
// over the whole tree. Relative paths separate levels with "/" and are UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalog/folder_tree.h"
#include "catalog/manifest_cache.h"
#include "catalog/transfers.h"

namespace catalog {

struct LocalFile {
    std::string path;  // relative to the walked directory: "a/b.txt"
    std::filesystem::path source;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // as the file system keeps it, to notice a change
};

struct LocalTree {
    std::vector<LocalFile> files;      // by path
    std::vector<std::string> dirs;     // every directory below the root, parents first
    std::vector<std::string> skipped;  // links, devices and names put would refuse, with why
};

// Walks `root` without following a symbolic link.
Outcome WalkLocalTree(const std::filesystem::path& root, LocalTree& tree);

struct RemoteFile {
    std::string path;  // relative to the walked folder; file names by the drive's rule (drive_names.h)
    FileEntry entry;
};

struct RemoteTree {
    std::vector<RemoteFile> files;  // by path
    std::vector<std::string> dirs;  // every folder below the root, parents first
    std::vector<std::string> dirIds;
};

// Lists rootId and every folder nested in it (incomplete files included);
// with a cache, the files' exact sizes are filled in through it.
Outcome WalkRemoteTree(MailStore& store, const FolderTree& folders, const std::string& rootId, RemoteTree& tree,
                       ManifestCache* sizes = nullptr);

// rm -r of a walked folder: every file below it to the trash, then the
// folders from the leaves up (a store refuses to delete a folder that still
// holds one), then the folder itself. Only what the walk found is removed.
Outcome RemoveTree(MailStore& store, const RemoteTree& tree, const std::string& rootId);

struct TreePutReport {
    std::string path;
    PutReport report;
};

// Makes each of dirs below rootId, then stores each file under rootId at its
// relative path (folders is kept up to date). Returns the first failure;
// reports say per file.
Outcome PutTree(MailStore& store, FolderTree& folders, const std::string& rootId, const std::vector<std::string>& dirs,
                const std::vector<LocalFile>& files, const TransferSettings& settings,
                std::vector<TreePutReport>& reports);

struct TreeGetReport {
    std::string path;
    std::filesystem::path target;  // empty when the name could not be written
    GetReport report;
};

// The local path of a relative remote path below `root`: every level goes
// through the local-name rule (refused: the outcome says which and why) and
// every directory on the way is made, a link or other thing in its place
// refused, never followed. With lastIsDirectory the last level is made too.
Outcome LocalPathBelow(const std::filesystem::path& root, const std::string& path, bool lastIsDirectory,
                       std::filesystem::path& local);

// Writes each file below `root` at its relative path. Every level of the
// path goes through the local-name rule, so a name from the mailbox never
// reaches outside `root`; a directory in the way that is a link is refused.
// Files get the modification time their manifest holds.
// Directories of dirs that cannot be made go to `skipped`, with why.
Outcome GetTree(MailStore& store, const std::vector<std::string>& dirs, const std::vector<RemoteFile>& files,
                const std::filesystem::path& root, const TransferSettings& settings,
                std::vector<TreeGetReport>& reports, std::vector<std::string>& skipped);

}  // namespace catalog
