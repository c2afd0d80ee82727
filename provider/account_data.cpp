#include "account_data.h"

#include <algorithm>

namespace provider {

const std::array<SystemFolder, 5>& SystemFolders() {
    static const std::array<SystemFolder, 5> kFolders = {{
        {kInboxId, "收件箱"},
        {kDraftsId, "草稿箱"},
        {kSentId, "已发送"},
        {kTrashId, "已删除"},
        {kSpamId, "垃圾邮件"},
    }};
    return kFolders;
}

bool IsSystemFolder(std::int64_t id) {
    return id >= kInboxId && id <= kSpamId;
}

std::vector<FolderRecord> AccountData::AllFolders() const {
    std::vector<FolderRecord> folders;
    for (const SystemFolder& system : SystemFolders()) folders.push_back(FolderRecord{system.id, system.name});
    std::vector<FolderRecord> users = userFolders;
    std::sort(users.begin(), users.end(), [](const FolderRecord& a, const FolderRecord& b) { return a.id < b.id; });
    folders.insert(folders.end(), users.begin(), users.end());
    return folders;
}

bool AccountData::HasFolder(std::int64_t id) const {
    if (IsSystemFolder(id)) return true;
    for (const FolderRecord& folder : userFolders)
        if (folder.id == id) return true;
    return false;
}

FolderRecord* AccountData::FindUserFolder(std::int64_t id) {
    for (FolderRecord& folder : userFolders)
        if (folder.id == id) return &folder;
    return nullptr;
}

const FolderRecord* AccountData::FindUserFolder(std::int64_t id) const {
    for (const FolderRecord& folder : userFolders)
        if (folder.id == id) return &folder;
    return nullptr;
}

bool AccountData::NameTaken(const std::string& name, std::int64_t parent, std::int64_t except) const {
    if (parent == 0)
        for (const SystemFolder& system : SystemFolders())
            if (system.id != except && name == system.name) return true;
    for (const FolderRecord& folder : userFolders)
        if (folder.id != except && folder.parent == parent && folder.name == name) return true;
    return false;
}

std::size_t AccountData::DepthOf(std::int64_t id) const {
    // Bounded by the number of folders, so a damaged chain cannot loop.
    std::size_t depth = 0;
    for (std::int64_t at = id; at != 0 && depth <= userFolders.size() + 1; ++depth) {
        const FolderRecord* folder = FindUserFolder(at);
        at = folder != nullptr ? folder->parent : 0;
    }
    return depth;
}

std::size_t AccountData::HeightOf(std::int64_t id) const {
    std::size_t below = 0;
    for (const FolderRecord& folder : userFolders)
        if (folder.parent == id && folder.id != id) below = std::max(below, HeightOf(folder.id));
    return below + 1;
}

bool AccountData::HasChildren(std::int64_t id) const {
    for (const FolderRecord& folder : userFolders)
        if (folder.parent == id) return true;
    return false;
}

bool AccountData::IsWithin(std::int64_t id, std::int64_t ancestor) const {
    std::size_t steps = 0;
    for (std::int64_t at = id; at != 0 && steps <= userFolders.size() + 1; ++steps) {
        if (at == ancestor) return true;
        const FolderRecord* folder = FindUserFolder(at);
        at = folder != nullptr ? folder->parent : 0;
    }
    return false;
}

std::map<std::int64_t, FolderStats> AccountData::AllStats() const {
    std::map<std::int64_t, FolderStats> all;
    for (const MessageRecord& message : messages) {
        FolderStats& stats = all[message.fid];
        ++stats.messageCount;
        stats.messageSize += message.size;
        if (!message.read) {
            ++stats.unreadMessageCount;
            stats.unreadMessageSize += message.size;
        }
    }
    return all;
}

MessageRecord* AccountData::FindMessage(const std::string& id) {
    for (MessageRecord& message : messages)
        if (message.id == id) return &message;
    return nullptr;
}

const MessageRecord* AccountData::FindMessage(const std::string& id) const {
    for (const MessageRecord& message : messages)
        if (message.id == id) return &message;
    return nullptr;
}

bool AccountData::HasCompose(const std::string& id) const {
    for (const ComposeRecord& compose : composes)
        if (compose.id == id) return true;
    return false;
}

}  // namespace provider
