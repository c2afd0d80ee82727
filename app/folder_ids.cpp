#include "app/folder_ids.h"

#include "app/folder_tree_model.h"

namespace app {

namespace {
constexpr std::uint64_t kInboxNumber = 1;
// IMAP names its inbox INBOX, in any case, and the store names no other.
bool IsImapInbox(const std::string& id) {
    static const char kInbox[] = "inbox";
    if (id.size() != sizeof kInbox - 1) return false;
    for (std::size_t i = 0; i < id.size(); ++i)
        if ((id[i] >= 'A' && id[i] <= 'Z' ? id[i] - 'A' + 'a' : id[i]) != kInbox[i]) return false;
    return true;
}
constexpr std::uint64_t kTrashNumber = 4;
constexpr std::uint64_t kLastFixedNumber = 10;
}  // namespace

bool IsTrashFolder(const std::string& viewId, const std::string& name) {
    if (ReadFolderId(viewId) == kTrashNumber) return true;
    std::string upper = name;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const char* trash : {"TRASH", "DELETED MESSAGES", "DELETED ITEMS", "DELETED", "BIN", "已删除"})
        if (upper == trash) return true;
    return false;
}

FolderIds::FolderIds(const std::string& inboxId)
    : passThrough_(ReadFolderId(inboxId).has_value()), inboxId_(inboxId), nextOwn_(kLargeFolderIdFirst) {}

FolderList FolderIds::Show(const std::vector<catalog::FolderInfo>& folders) {
    FolderList shown;
    for (const catalog::FolderInfo& folder : folders)
        shown.push_back(Folder{ViewId(folder.id, folder.system), folder.name, std::to_string(folder.messages),
                               std::to_string(folder.unread)});
    // Parents once every folder has its number: a parent met first as a
    // parent would not get a fixed folder's number.
    for (std::size_t i = 0; i < folders.size(); ++i)
        if (!folders[i].parentId.empty()) shown[i].parentId = ViewId(folders[i].parentId);
    return shown;
}

std::string FolderIds::ViewId(const std::string& storeId, bool system) {
    if (passThrough_) return storeId;
    auto known = byStore_.find(storeId);
    if (known != byStore_.end()) return std::to_string(known->second);
    std::uint64_t number = 0;
    if (inboxId_.empty() ? IsImapInbox(storeId) : storeId == inboxId_) {
        number = kInboxNumber;
    } else if (system && nextFixed_ <= kLastFixedNumber) {
        number = nextFixed_++;
        if (number == kTrashNumber) number = nextFixed_++;
    }
    // Past the fixed numbers a fixed folder is shown as an own one; the store
    // still refuses what it does not allow.
    if (number == 0 || number > kLastFixedNumber) number = nextOwn_++;
    byStore_[storeId] = number;
    byView_[number] = storeId;
    return std::to_string(number);
}

std::string FolderIds::StoreId(const std::string& viewId) const {
    if (passThrough_) return viewId;
    std::optional<std::uint64_t> number = ReadFolderId(viewId);
    if (!number) return {};
    auto found = byView_.find(*number);
    return found == byView_.end() ? std::string() : found->second;
}

}  // namespace app
