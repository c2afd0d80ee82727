#include "catalog/folder_tree.h"

#include <algorithm>

namespace catalog {
namespace {

constexpr std::string_view kSlash = "/";
constexpr std::string_view kFullwidthSlash = "\xEF\xBC\x8F";  // U+FF0F

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t at = 0;
    for (std::size_t hit; (hit = text.find(from, at)) != std::string_view::npos; at = hit + from.size())
        out.append(text.substr(at, hit - at)).append(to);
    return out.append(text.substr(at));
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Joined(const std::vector<std::string>& segments, std::size_t count) {
    std::string path;
    for (std::size_t i = 0; i < count; ++i) path += (i ? "/" : "") + segments[i];
    return path;
}

}  // namespace

std::string NameToSegment(std::string_view name) {
    return ReplaceAll(name, kSlash, kFullwidthSlash);
}

std::string SegmentToName(std::string_view segment) {
    return ReplaceAll(segment, kFullwidthSlash, kSlash);
}

bool SplitFolderPath(std::string_view path, std::vector<std::string>& segments) {
    segments.clear();
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = std::min(path.find('/', at), path.size());
        std::string_view segment = path.substr(at, end - at);
        if (segment == "..") return false;
        if (!segment.empty() && segment != ".") segments.emplace_back(segment);
        at = end + 1;
    }
    return true;
}

Outcome FolderTree::Load(MailStore& store, FolderTree& tree) {
    std::vector<FolderInfo> folders;
    Outcome outcome = store.ListFolders(folders);
    tree.folders_.clear();
    if (!outcome.Ok()) return outcome;
    for (const FolderInfo& folder : folders) tree.folders_[folder.id] = folder;
    return outcome;
}

const FolderInfo* FolderTree::Folder(const std::string& id) const {
    auto found = folders_.find(id);
    return found == folders_.end() ? nullptr : &found->second;
}

void FolderTree::Add(const FolderInfo& folder) {
    folders_[folder.id] = folder;
}

void FolderTree::Remove(const std::string& id) {
    folders_.erase(id);
}

std::string FolderTree::ParentOf(const FolderInfo& folder) const {
    return Folder(folder.parentId) ? folder.parentId : std::string();
}

std::vector<FolderInfo> FolderTree::Children(const std::string& parentId) const {
    std::vector<FolderInfo> children;
    for (const auto& [id, folder] : folders_)
        if (ParentOf(folder) == parentId && id != parentId) children.push_back(folder);
    std::stable_sort(children.begin(), children.end(),
                     [](const FolderInfo& a, const FolderInfo& b) { return a.name < b.name; });
    return children;
}

const FolderInfo* FolderTree::ChildNamed(const std::string& parentId, std::string_view segment) const {
    // The exact name first: a store that holds both "a/b" and "a／b" shows
    // them alike, and the segment's own spelling picks one.
    const std::string name = SegmentToName(segment);
    const FolderInfo* shownAlike = nullptr;
    for (const auto& [id, folder] : folders_) {
        if (ParentOf(folder) != parentId || id == parentId) continue;
        if (folder.name == segment) return &folder;
        if (!shownAlike && (folder.name == name || NameToSegment(folder.name) == segment)) shownAlike = &folder;
    }
    return shownAlike;
}

Outcome FolderTree::Find(std::string_view path, std::string& folderId) const {
    folderId.clear();
    if (AllDigits(path) && Folder(std::string(path))) {
        folderId = std::string(path);
        return {};
    }
    std::vector<std::string> segments;
    if (!SplitFolderPath(path, segments)) return Failure(StoreCode::Refused, "'..' does not name a folder");
    std::string at;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const FolderInfo* child = ChildNamed(at, segments[i]);
        if (!child) return Failure(StoreCode::NotFound, "no folder '" + Joined(segments, i + 1) + "'");
        at = child->id;
    }
    folderId = at;
    return {};
}

std::string FolderTree::PathOf(const std::string& folderId) const {
    std::string path;
    // Bounded by the number of folders, so a store that reports a loop of
    // parents cannot hang us.
    std::size_t steps = 0;
    for (const FolderInfo* folder = Folder(folderId); folder && steps <= folders_.size();
         folder = Folder(ParentOf(*folder)), ++steps)
        path = NameToSegment(folder->name) + (path.empty() ? "" : "/" + path);
    return path;
}

Outcome MakeFolderPath(MailStore& store, FolderTree& tree, std::string_view path, std::string& folderId,
                       const std::string& fromId) {
    folderId.clear();
    if (fromId.empty() && tree.Find(path, folderId).Ok()) return {};
    std::vector<std::string> segments;
    if (!SplitFolderPath(path, segments)) return Failure(StoreCode::Refused, "'..' does not name a folder");
    std::string at = fromId;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (const FolderInfo* child = tree.ChildNamed(at, segments[i])) {
            at = child->id;
            continue;
        }
        std::string next;
        const std::string name = SegmentToName(segments[i]);
        Outcome made = store.CreateFolder(at, name, next);
        if (!made.Ok()) {
            // It may be there all the same: made meanwhile by another client,
            // or made and refused as existing (Dovecot does so now and then).
            FolderTree fresh;
            const FolderInfo* child = nullptr;
            if (FolderTree::Load(store, fresh).Ok() && (child = fresh.ChildNamed(at, segments[i]))) {
                at = child->id;
                tree = std::move(fresh);
                continue;
            }
            return {made.code, "cannot make '" + Joined(segments, i + 1) + "': " + made.detail, made.refusal};
        }
        FolderInfo folder;
        folder.id = next;
        folder.name = name;
        folder.parentId = at;
        tree.Add(folder);
        at = next;
    }
    folderId = at;
    return {};
}

}  // namespace catalog
