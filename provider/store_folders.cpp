// Folder operations of the store.
#include <algorithm>
#include <set>

#include "store.h"
#include "text_rules.h"

namespace provider {

Fault Store::Folders(const std::string& account, std::vector<FolderListing>& folders) const {
    std::lock_guard<std::mutex> hold(mutex_);
    const AccountData* data = FindLocked(account);
    if (data == nullptr) return Fault::InvalidSession;
    folders.clear();
    std::map<std::int64_t, FolderStats> stats = data->AllStats();
    for (FolderRecord& folder : data->AllFolders()) {
        const std::int64_t id = folder.id;
        folders.push_back(FolderListing{std::move(folder), stats[id]});
    }
    return Fault::None;
}

namespace {

// Where a folder may stand: its parent exists and the levels stay within bounds.
Fault CheckPlace(const AccountData& data, std::int64_t parent, std::size_t height) {
    if (parent != 0 && !data.HasFolder(parent)) return Fault::FolderNotFound;
    if (data.DepthOf(parent) + height > kMaxFolderDepth) return Fault::FolderTooDeep;
    return Fault::None;
}

}  // namespace

Fault Store::CreateFolders(const std::string& account, const std::vector<NewFolder>& folders,
                           std::vector<std::int64_t>& ids) {
    ids.clear();
    std::vector<std::int64_t> made;
    Fault fault = Change(account, [&](AccountData& data) {
        if (data.userFolders.size() + folders.size() > kMaxUserFolders) return Fault::Overflow;
        for (const NewFolder& folder : folders) {
            if (!IsValidFolderName(folder.name)) return Fault::InvalidParameter;
            Fault place = CheckPlace(data, folder.parent, 1);
            if (place != Fault::None) return place;
            if (data.NameTaken(folder.name, folder.parent, 0)) return Fault::NameExists;
            data.userFolders.push_back(FolderRecord{data.nextFolderId++, folder.name, folder.parent});
            made.push_back(data.userFolders.back().id);
        }
        return Fault::None;
    });
    if (fault == Fault::None) ids = std::move(made);
    return fault;
}

Fault Store::UpdateFolders(const std::string& account, const std::vector<FolderUpdate>& updates) {
    return Change(account, [&](AccountData& data) {
        for (const FolderUpdate& update : updates) {
            if (IsSystemFolder(update.id)) return Fault::Forbidden;
            FolderRecord* folder = data.FindUserFolder(update.id);
            if (folder == nullptr) return Fault::FolderNotFound;
            const std::string name = update.name.value_or(folder->name);
            const std::int64_t parent = update.parent.value_or(folder->parent);
            if (!IsValidFolderName(name)) return Fault::InvalidParameter;
            if (parent != folder->parent) {
                // Below itself the subtree would hang from nothing.
                if (data.IsWithin(parent, folder->id)) return Fault::InvalidParameter;
                Fault place = CheckPlace(data, parent, data.HeightOf(folder->id));
                if (place != Fault::None) return place;
            }
            if (data.NameTaken(name, parent, folder->id)) return Fault::NameExists;
            folder->name = name;
            folder->parent = parent;
        }
        return Fault::None;
    });
}

Fault Store::DeleteFolders(const std::string& account, const std::vector<std::int64_t>& ids) {
    return Change(account, [&](AccountData& data) {
        std::set<std::int64_t> doomed;
        for (std::int64_t id : ids) {
            if (IsSystemFolder(id)) return Fault::Forbidden;
            if (data.FindUserFolder(id) == nullptr) return Fault::FolderNotFound;
            doomed.insert(id);
        }
        for (const FolderRecord& folder : data.userFolders)
            if (doomed.count(folder.parent) != 0 && doomed.count(folder.id) == 0) return Fault::FolderNotEmpty;
        for (MessageRecord& message : data.messages)
            if (doomed.count(message.fid) != 0) message.fid = kTrashId;
        data.userFolders.erase(std::remove_if(data.userFolders.begin(), data.userFolders.end(),
                                              [&](const FolderRecord& f) { return doomed.count(f.id) != 0; }),
                               data.userFolders.end());
        return Fault::None;
    });
}

}  // namespace provider
