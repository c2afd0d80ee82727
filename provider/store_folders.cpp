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

Fault Store::CreateFolders(const std::string& account, const std::vector<std::string>& names,
                           std::vector<std::int64_t>& ids) {
    ids.clear();
    std::vector<std::int64_t> made;
    Fault fault = Change(account, [&](AccountData& data) {
        if (data.userFolders.size() + names.size() > kMaxUserFolders) return Fault::Overflow;
        for (const std::string& name : names) {
            if (!IsValidFolderName(name)) return Fault::InvalidParameter;
            if (data.NameTaken(name, 0)) return Fault::NameExists;
            data.userFolders.push_back(FolderRecord{data.nextFolderId++, name});
            made.push_back(data.userFolders.back().id);
        }
        return Fault::None;
    });
    if (fault == Fault::None) ids = std::move(made);
    return fault;
}

Fault Store::RenameFolders(const std::string& account,
                           const std::vector<std::pair<std::int64_t, std::string>>& renames) {
    return Change(account, [&](AccountData& data) {
        for (const auto& [id, name] : renames) {
            if (IsSystemFolder(id)) return Fault::Forbidden;
            FolderRecord* folder = data.FindUserFolder(id);
            if (folder == nullptr) return Fault::FolderNotFound;
            if (!IsValidFolderName(name)) return Fault::InvalidParameter;
            if (data.NameTaken(name, id)) return Fault::NameExists;
            folder->name = name;
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
        for (MessageRecord& message : data.messages)
            if (doomed.count(message.fid) != 0) message.fid = kTrashId;
        data.userFolders.erase(std::remove_if(data.userFolders.begin(), data.userFolders.end(),
                                              [&](const FolderRecord& f) { return doomed.count(f.id) != 0; }),
                               data.userFolders.end());
        return Fault::None;
    });
}

}  // namespace provider
