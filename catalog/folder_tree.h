// The folders of one store as a tree of paths. A path separates levels with
// "/"; a folder name that holds "/" itself shows it as "／" (U+FF0F) in a
// path, and a path's "／" stands for "/" in the name. This file is the one
// place that mapping is made, so the CLI, the mount and the desktop agree.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/mail_store.h"

namespace catalog {

// The folders of one store as a tree, from one ListFolders.
class FolderTree {
public:
    static Outcome Load(MailStore& store, FolderTree& tree);

    // "工作文档/2026/三月" (a leading or trailing "/" changes nothing; "" and
    // "/" are the top, id "") gives the folder's id; NotFound names the first
    // missing level. A path made only of digits that is a folder's id names
    // that folder (ids win over names, as they always have on the command line).
    Outcome Find(std::string_view path, std::string& folderId) const;
    // "工作文档/2026"; "" for the top or an unknown id.
    std::string PathOf(const std::string& folderId) const;
    // The folders nested in parentId ("" the top), by name. A folder whose
    // parent is not in the tree counts as a top folder, so none is lost.
    std::vector<FolderInfo> Children(const std::string& parentId) const;
    const FolderInfo* Folder(const std::string& id) const;  // nullptr when unknown
    // After a create or a move, so that a second Load is not needed.
    void Add(const FolderInfo& folder);
    void Remove(const std::string& id);
    // The child of parentId that one path segment names, or nullptr.
    const FolderInfo* ChildNamed(const std::string& parentId, std::string_view segment) const;

private:
    std::string ParentOf(const FolderInfo& folder) const;

    std::map<std::string, FolderInfo> folders_;  // by id
};

// The levels of a path: empty segments and "." are skipped; false when a
// segment is "..", which never names a folder.
bool SplitFolderPath(std::string_view path, std::vector<std::string>& segments);

// mkdir -p: makes each missing level and gives the last one's id. A refusal
// half-way names the level and keeps the store's code and reason; the levels
// made before it stay (they are empty folders, and a second run reuses them).
// With fromId, the path is taken below that folder instead of the top.
Outcome MakeFolderPath(MailStore& store, FolderTree& tree, std::string_view path, std::string& folderId,
                       const std::string& fromId = {});

std::string NameToSegment(std::string_view name);     // "/" -> "／"
std::string SegmentToName(std::string_view segment);  // "／" -> "/"

}  // namespace catalog
