// One account as the store keeps it: its user folders, its messages with
// their flags and attachment sizes, and its open compose sessions. Folder
// counters are never stored; they are counted from the messages, so they
// are always true.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace provider {

constexpr std::int64_t kInboxId = 1;
constexpr std::int64_t kDraftsId = 2;
constexpr std::int64_t kSentId = 3;
constexpr std::int64_t kTrashId = 4;
constexpr std::int64_t kSpamId = 5;
constexpr std::int64_t kFirstUserFolderId = 65550;

constexpr std::size_t kMaxUserFolders = 1000;
// Levels of nested folders, a top-level folder being level 1.
constexpr std::size_t kMaxFolderDepth = 16;
constexpr std::size_t kMaxMessages = 100000;
constexpr std::size_t kMaxComposeSessions = 32;
constexpr std::int64_t kMaxAttachmentBytes = 2147483647;  // 2 GiB - 1: the client counts in 32 bits
// What a whole mail adds around its attachment (head lines, MIME parts).
constexpr std::int64_t kMailOverheadBytes = 1024;

// Size of a whole mail: head and MIME parts around its subject, text and
// attachment. Kept within what a signed 32-bit counter can hold.
inline std::int64_t MailSize(std::size_t textBytes, std::int64_t attachmentBytes) {
    std::int64_t size =
        kMailOverheadBytes + static_cast<std::int64_t>(textBytes) + (attachmentBytes > 0 ? attachmentBytes : 0);
    return size < kMaxAttachmentBytes ? size : kMaxAttachmentBytes;
}

struct SystemFolder {
    std::int64_t id;
    const char* name;
};
const std::array<SystemFolder, 5>& SystemFolders();
bool IsSystemFolder(std::int64_t id);

struct FolderRecord {
    std::int64_t id = 0;
    std::string name;
    std::int64_t parent = 0;  // the folder it is nested in; 0 at the top
};

struct MessageRecord {
    std::string id;
    std::int64_t fid = kInboxId;
    std::int64_t size = 0;
    std::int64_t attachmentSize = -1;  // -1: no attachment
    std::int64_t sentAt = 0;           // seconds since the epoch
    std::int64_t receivedAt = 0;
    std::int64_t seq = 0;  // order of storing; breaks ties of receivedAt
    bool read = false;
    std::string from;
    std::string to;
    std::string subject;
    std::string filename;  // the attachment's own name; empty: its subject stands for it
    std::string content;   // the mail's text

    bool Attached() const { return attachmentSize >= 0; }
    const std::string& AttachmentName() const { return filename.empty() ? subject : filename; }
};

struct ComposeRecord {
    std::string id;
    std::int64_t createdAt = 0;
};

struct FolderStats {
    std::int64_t messageCount = 0;
    std::int64_t messageSize = 0;
    std::int64_t unreadMessageCount = 0;
    std::int64_t unreadMessageSize = 0;
};

struct AccountData {
    std::string address;  // lower case
    std::string password;
    std::int64_t nextFolderId = kFirstUserFolderId;
    std::int64_t nextMessageSeq = 1;
    std::vector<FolderRecord> userFolders;
    std::vector<MessageRecord> messages;
    std::vector<ComposeRecord> composes;

    // System folders first, in id order, then the user folders in id order.
    std::vector<FolderRecord> AllFolders() const;
    bool HasFolder(std::int64_t id) const;
    FolderRecord* FindUserFolder(std::int64_t id);
    const FolderRecord* FindUserFolder(std::int64_t id) const;
    // A folder other than `except` with exactly this name beside `parent`
    // (system folders stand at the top).
    bool NameTaken(const std::string& name, std::int64_t parent, std::int64_t except) const;
    // Level of a folder: 1 at the top, 0 for the top itself (id 0).
    std::size_t DepthOf(std::int64_t id) const;
    // Levels of the folder and everything below it (1 for a leaf).
    std::size_t HeightOf(std::int64_t id) const;
    bool HasChildren(std::int64_t id) const;
    // True when `id` is `ancestor` or lies somewhere below it.
    bool IsWithin(std::int64_t id, std::int64_t ancestor) const;
    // The counters of every folder, in one pass over the messages.
    std::map<std::int64_t, FolderStats> AllStats() const;

    MessageRecord* FindMessage(const std::string& id);
    const MessageRecord* FindMessage(const std::string& id) const;
    bool HasCompose(const std::string& id) const;
};

}  // namespace provider
