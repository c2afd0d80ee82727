// The provider's state on disk: accounts with their folders, messages,
// attachments and compose sessions, under one data directory:
//
//   DATA/lock                                  held while a provider runs on DATA
//   DATA/accounts/ADDRESS/index.txt            the account (account_file.h)
//   DATA/accounts/ADDRESS/attachments/MID      one file per attachment
//   DATA/accounts/ADDRESS/compose/CID.upload   the file uploaded to a compose session
//
// Every change is made on a copy of the account, written to a new index
// file that is renamed over the old one, and only then taken as the
// account's state: a failed write or a crash leaves the state as it was.
// Attachment files are written before the index names them and removed
// after it stops naming them; what a crash leaves over is swept at start.
// One lock guards the whole store; uploads stream to disk outside it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "account_data.h"
#include "fault.h"
#include "unique_fd.h"

namespace provider {

struct NewFolder {
    NewFolder(std::string name_, std::int64_t parent_ = 0) : name(std::move(name_)), parent(parent_) {}
    std::string name;
    std::int64_t parent = 0;  // 0: at the top
};

// A rename, a move under another folder (0: to the top), or both.
struct FolderUpdate {
    std::int64_t id = 0;
    std::optional<std::string> name;
    std::optional<std::int64_t> parent;
};

struct FolderListing {
    FolderRecord folder;
    FolderStats stats;
};

struct MessagePage {
    std::vector<MessageRecord> messages;
    std::int64_t total = 0;  // messages that match, on every page
};

// Which messages a listing or a search takes, and which page of them.
struct MessageQuery {
    std::optional<std::vector<std::int64_t>> folderIds;  // none: every folder
    struct Contains {
        std::string text;
        bool ignoreCase = true;  // ASCII letters only
    };
    std::vector<Contains> subjectContains;  // each must occur
    bool newestFirst = true;
    std::int64_t start = 0;
    std::int64_t limit = 50;
};

struct Delivery {
    std::string composeId;
    std::vector<std::string> recipients;  // addresses
    std::string subject;
    std::string content;         // the mail's text
    std::string attachmentName;  // empty: the subject stands for it
    bool saveSentCopy = true;
    std::int64_t attachmentLimit = kMaxAttachmentBytes;
    // Asked under the store's lock once the delivery is found valid, just
    // before it is stored: a fault it returns refuses the delivery.
    std::function<Fault()> admit;
};

// A message stored directly (demo content, seeded folders).
struct ImportedMessage {
    std::int64_t folderId = kInboxId;
    std::string subject;
    std::string filename;
    std::string content;
    bool attached = false;
    std::string attachment;
    std::int64_t sentAt = 0;
    std::int64_t receivedAt = 0;
    bool read = false;
};
using ImportSource = std::function<void(std::size_t index, ImportedMessage& message)>;

struct DeliveryResult {
    std::vector<std::string> inboxIds;  // one per recipient, in order
    std::string sentId;                 // empty without a sent copy
};

class Store {
public:
    Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Creates the data directory when needed, takes its lock (a second
    // provider on the same directory is refused), loads every account and
    // sweeps away what an interrupted change left over.
    bool Open(const std::string& root, std::string& error);
    const std::string& Root() const { return root_; }

    // Adds the account, or gives an existing one this password. `created`
    // tells which.
    bool AddAccount(const std::string& address, const std::string& password, bool& created, std::string& error);
    // The stored address when `address` (any case) and `password` match an account.
    std::optional<std::string> Authenticate(std::string_view address, std::string_view password) const;
    bool HasAccount(std::string_view address) const;

    Fault Folders(const std::string& account, std::vector<FolderListing>& folders) const;
    // Names are unique among the folders of one parent; at most
    // kMaxUserFolders folders and kMaxFolderDepth levels.
    Fault CreateFolders(const std::string& account, const std::vector<NewFolder>& folders,
                        std::vector<std::int64_t>& ids);
    // A moved folder takes everything below it along; it cannot go below
    // itself (InvalidParameter) nor push its subtree past the deepest level.
    Fault UpdateFolders(const std::string& account, const std::vector<FolderUpdate>& updates);
    // The messages of a deleted folder move to the trash folder (已删除):
    // the client deletes folders without asking, and files must not vanish
    // with them. A folder with folders in it is refused (FolderNotEmpty), so
    // a tree goes from the leaves up.
    Fault DeleteFolders(const std::string& account, const std::vector<std::int64_t>& ids);

    // Ordered by received time, then by order of storing; newest first
    // unless the query says otherwise. Every folder named must exist.
    Fault FindMessages(const std::string& account, const MessageQuery& query, MessagePage& page) const;
    Fault ReadMessage(const std::string& account, const std::string& messageId, MessageRecord& message) const;
    Fault UpdateMessages(const std::string& account, const std::vector<std::string>& ids,
                         std::optional<std::int64_t> folderId, std::optional<bool> read);
    Fault DeleteMessages(const std::string& account, const std::vector<std::string>& ids);
    Fault OpenAttachment(const std::string& account, const std::string& messageId, UniqueFd& file,
                         MessageRecord& message) const;

    Fault OpenCompose(const std::string& account, std::string& composeId);
    // A fresh path beside the compose session's upload to stream a file into.
    Fault UploadTarget(const std::string& account, const std::string& composeId, std::string& temporaryPath) const;
    // The streamed file becomes the compose session's attachment, replacing
    // an earlier one; on failure the temporary file is removed.
    Fault FinishUpload(const std::string& account, const std::string& composeId, const std::string& temporaryPath);
    // The compose session becomes a message in every recipient's inbox and,
    // when asked, a read copy in the sender's sent folder; the session is
    // used up. All recipients must be accounts of this provider.
    Fault Deliver(const std::string& account, const Delivery& delivery, DeliveryResult& result);

    // Stores `count` messages made one by one by `source`, in one change:
    // their attachment files reach the disk together, once, before the
    // index names them, so ten thousand take seconds, not minutes.
    Fault ImportMessages(const std::string& account, std::size_t count, const ImportSource& source);

private:
    std::string AccountDir(const std::string& account) const;
    std::string AttachmentPath(const std::string& account, const std::string& messageId) const;
    std::string ComposeUploadPath(const std::string& account, const std::string& composeId) const;
    bool Persist(const AccountData& account) const;
    // Applies `change` to a copy of the account and keeps the copy only
    // when the change succeeds and its index is written. Caller holds mutex_.
    Fault ChangeLocked(const std::string& account, const std::function<Fault(AccountData&)>& change);
    Fault Change(const std::string& account, const std::function<Fault(AccountData&)>& change);
    const AccountData* FindLocked(const std::string& account) const;
    // A message record with a new id and storing order, nothing else set.
    static MessageRecord NewMessage(AccountData& account);
    bool LoadAccount(const std::string& directory, std::string& error);
    void Sweep(const AccountData& account) const;

    mutable std::mutex mutex_;
    std::map<std::string, AccountData> accounts_;
    std::string root_;
    UniqueFd lock_;
};

}  // namespace provider
