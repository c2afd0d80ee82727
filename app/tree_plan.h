// Folders moved whole by the desktop: a folder dropped from Explorer goes
// into the open folder, a folder of the mailbox comes to a local directory.
// Either is planned as one transfer row per file: the folders are made
// first (in the mailbox, or on the disk), so that each row is a plain
// upload or download that the queue runs, resumes by parts and keeps
// across runs like any other.
//
// Both run on a lane (they touch the disk and the mailbox), not on the
// user-interface thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "catalog/manifest_cache.h"
#include "catalog/tree_transfer.h"

namespace app {

struct TreeUploadFile {
    std::filesystem::path source;
    std::string dir;  // the folder it goes in, as a key of TreeUpload::dirs
    std::uint64_t size = 0;
};

struct TreeUpload {
    // Relative to the target folder, "/" between levels, parents first; the
    // dropped folder's own name is the first. A "／" in a local name is a
    // "/" in the folder's name, as for put -r (catalog/folder_tree.h).
    std::vector<std::string> dirs;
    std::vector<TreeUploadFile> files;  // by path
    std::vector<std::string> skipped;   // links, devices and names the drive refuses, with why
};

// The dropped directory walked, without following a link below it.
catalog::Outcome PlanTreeUpload(const std::filesystem::path& dropped, TreeUpload& plan);

// Makes each of dirs inside targetId, level by level; a folder of that name
// already there is used, so a second drop of the same folder adds to the
// first. `made` maps each dir to the store's id of its folder.
catalog::Outcome MakeTreeFolders(catalog::MailStore& store, const std::string& targetId,
                                 const std::vector<std::string>& dirs, std::map<std::string, std::string>& made);

struct TreeDownloadFile {
    std::string key;
    std::string name;
    std::uint64_t size = 0;
    std::filesystem::path target;
};

struct TreeDownload {
    std::vector<TreeDownloadFile> files;
    std::vector<std::string> skipped;  // escaped paths the local-name rule refused, with why
};

// The folder and everything below it, planned into a directory of the
// folder's own name inside targetDir. Every level of every path goes
// through the local-name rule and every directory is made now (empty ones
// too); a name refused there is skipped, with the files below it, and
// nothing is ever written outside targetDir.
catalog::Outcome PlanTreeDownload(catalog::MailStore& store, const std::string& folderId,
                                  const std::filesystem::path& targetDir, catalog::ManifestCache* sizes,
                                  TreeDownload& plan);

}  // namespace app
