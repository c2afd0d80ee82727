#include "cli/remote_paths.h"

#include "catalog/catalog.h"
#include "catalog/drive_names.h"
#include "cli/operation_arguments.h"

namespace cli {
namespace {

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

const char* const kTopHoldsFolders = "'/' holds folders, no files: name a folder (e.g. /FOLDER)";

catalog::Outcome RemotePaths::Loaded() {
    if (!loaded_) loadOutcome_ = catalog::FolderTree::Load(store_, tree_), loaded_ = true;
    return loadOutcome_;
}

catalog::FolderTree& RemotePaths::Tree() {
    Loaded();
    return tree_;
}

std::string RemotePaths::Shown(const std::string& folderId) {
    std::string path = Tree().PathOf(folderId);
    return path.empty() ? folderId : path;
}

catalog::Outcome RemotePaths::ResolveFile(const std::string& argument, RemotePath& path) {
    if (context_.imapUrl.empty() && argument.find('/') == std::string::npos && IsMessageId(argument) &&
        !AllDigits(argument)) {
        path = {};
        path.kind = RemotePath::Kind::File;
        path.key = argument;
        path.parentFound = true;
        return {};
    }
    return Resolve(argument, path);
}

catalog::Outcome RemotePaths::ResolveFolder(const std::string& argument, std::string& folderId) {
    RemotePath path;
    catalog::Outcome outcome = Resolve(argument, path, false);
    if (outcome.Ok() && path.kind != RemotePath::Kind::Folder)
        return catalog::Failure(catalog::StoreCode::NotFound, "no such folder");
    folderId = path.folderId;
    return outcome;
}

catalog::Outcome RemotePaths::Resolve(const std::string& argument, RemotePath& path, bool keys) {
    path = {};
    // A webmail folder id needs no listing: commands given ids send what they always sent.
    if (context_.imapUrl.empty() && AllDigits(argument) && IsFolderId(argument)) {
        path.kind = RemotePath::Kind::Folder;
        path.folderId = argument;
        return {};
    }
    if (catalog::Outcome loaded = Loaded(); !loaded.Ok()) return loaded;
    if (tree_.Find(argument, path.folderId).Ok() || tree_.Folder(argument)) {
        if (path.folderId.empty() && tree_.Folder(argument)) path.folderId = argument;
        path.kind = RemotePath::Kind::Folder;
        return {};
    }
    std::string trimmed = argument;
    while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    path.name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    const std::string parent = slash == std::string::npos ? "" : trimmed.substr(0, slash);
    if (slash == std::string::npos || parent.empty()) {
        // Files live in folders, not at the top: a single level that is no
        // folder is a file's key.
        path.parentFound = true;
        if (keys && (IsMessageId(argument) || !context_.imapUrl.empty())) {
            path.kind = RemotePath::Kind::File;
            path.key = argument;
        }
        return {};
    }
    if (!tree_.Find(parent, path.folderId).Ok() || path.folderId.empty()) {
        // An IMAP key may hold "/": it names its file as it always did.
        if (keys && !context_.imapUrl.empty()) path.kind = RemotePath::Kind::File, path.key = argument;
        return {};
    }
    path.parentFound = true;
    std::vector<catalog::FileEntry> files;
    if (catalog::Outcome listed = catalog::ListFiles(store_, path.folderId, files); !listed.Ok()) return listed;
    std::vector<catalog::Named> named;
    for (const catalog::FileEntry& file : files) named.push_back({file.name, file.key});
    const std::vector<std::string> names = catalog::UniqueNames(named);
    for (std::size_t i = 0; i < files.size(); ++i)
        if (names[i] == path.name) {
            path.kind = RemotePath::Kind::File;
            path.key = files[i].key;
        }
    return {};
}

}  // namespace cli
