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

bool AccountData::NameTaken(const std::string& name, std::int64_t except) const {
    for (const SystemFolder& system : SystemFolders())
        if (system.id != except && name == system.name) return true;
    for (const FolderRecord& folder : userFolders)
        if (folder.id != except && folder.name == name) return true;
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
