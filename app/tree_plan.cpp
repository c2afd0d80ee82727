#include "app/tree_plan.h"

#include "catalog/local_name.h"

namespace app {

namespace {
namespace fs = std::filesystem;

std::string ParentOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Utf8(const fs::path& path) {
    auto text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}
}  // namespace

catalog::Outcome PlanTreeUpload(const fs::path& dropped, TreeUpload& plan) {
    plan = {};
    // "C:\photos\" names the folder photos; a whole drive has no name to give.
    fs::path folder = dropped.lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();
    const std::string name = Utf8(folder.filename());
    if (name.empty() || name == "." || name == ".." || !folder.has_relative_path())
        return catalog::Failure(catalog::StoreCode::LocalFile, Utf8(dropped) + ": no folder name to store it under");
    catalog::LocalTree tree;
    catalog::Outcome outcome = catalog::WalkLocalTree(folder, tree);
    if (!outcome.Ok()) return outcome;
    plan.dirs.push_back(name);
    for (const std::string& dir : tree.dirs) plan.dirs.push_back(name + "/" + dir);
    for (const catalog::LocalFile& file : tree.files)
        plan.files.push_back({file.source, ParentOf(name + "/" + file.path), file.size});
    plan.skipped = std::move(tree.skipped);
    return outcome;
}

catalog::Outcome MakeTreeFolders(catalog::MailStore& store, const std::string& targetId,
                                 const std::vector<std::string>& dirs, std::map<std::string, std::string>& made) {
    made.clear();
    catalog::FolderTree folders;
    catalog::Outcome outcome = catalog::FolderTree::Load(store, folders);
    for (std::size_t i = 0; outcome.Ok() && i < dirs.size(); ++i) {
        std::string id;
        outcome = catalog::MakeFolderPath(store, folders, dirs[i], id, targetId);
        if (outcome.Ok()) made[dirs[i]] = id;
    }
    return outcome;
}

catalog::Outcome PlanTreeDownload(catalog::MailStore& store, const std::string& folderId, const fs::path& targetDir,
                                  catalog::ManifestCache* sizes, TreeDownload& plan) {
    plan = {};
    catalog::FolderTree folders;
    catalog::Outcome outcome = catalog::FolderTree::Load(store, folders);
    if (!outcome.Ok()) return outcome;
    const catalog::FolderInfo* folder = folders.Folder(folderId);
    if (!folder) return catalog::Failure(catalog::StoreCode::NotFound, "no such folder");
    catalog::RemoteTree tree;
    outcome = catalog::WalkRemoteTree(store, folders, folderId, tree, sizes);
    if (!outcome.Ok()) return outcome;
    // The folder's own name is the top level, through the same rule as the rest.
    const std::string top = catalog::NameToSegment(folder->name);
    auto skip = [&](const std::string& path, const catalog::Outcome& why) {
        plan.skipped.push_back(catalog::EscapedName(path) + ": " + why.detail);
    };
    fs::path local;
    if (outcome = catalog::LocalPathBelow(targetDir, top, true, local); !outcome.Ok()) return outcome;
    for (const std::string& dir : tree.dirs)
        if (catalog::Outcome made = catalog::LocalPathBelow(targetDir, top + "/" + dir, true, local); !made.Ok())
            skip(top + "/" + dir, made);
    for (const catalog::RemoteFile& file : tree.files) {
        const std::string path = top + "/" + file.path;
        catalog::Outcome placed = catalog::LocalPathBelow(targetDir, path, false, local);
        if (!placed.Ok()) {
            skip(path, placed);
            continue;
        }
        const catalog::FileEntry& entry = file.entry;
        plan.files.push_back({entry.key, entry.name, entry.sizeKnown ? entry.size : entry.listedSize, local});
    }
    return outcome;
}

}  // namespace app
