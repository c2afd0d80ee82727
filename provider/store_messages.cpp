// Message operations of the store: listing, moving, marking, deleting,
// reading an attachment, and storing demo content.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "atomic_file.h"
#include "local_date.h"
#include "store.h"

namespace provider {

Fault Store::ListMessages(const std::string& account, std::int64_t folderId, bool newestFirst, std::int64_t start,
                          std::int64_t limit, MessagePage& page) const {
    page = MessagePage();
    if (start < 0 || limit < 0) return Fault::InvalidParameter;
    std::lock_guard<std::mutex> hold(mutex_);
    const AccountData* data = FindLocked(account);
    if (data == nullptr) return Fault::InvalidSession;
    if (!data->HasFolder(folderId)) return Fault::FolderNotFound;
    std::vector<const MessageRecord*> inFolder;
    for (const MessageRecord& message : data->messages)
        if (message.fid == folderId) inFolder.push_back(&message);
    std::sort(inFolder.begin(), inFolder.end(), [newestFirst](const MessageRecord* a, const MessageRecord* b) {
        if (a->receivedAt != b->receivedAt)
            return newestFirst ? a->receivedAt > b->receivedAt : a->receivedAt < b->receivedAt;
        return newestFirst ? a->seq > b->seq : a->seq < b->seq;
    });
    page.total = static_cast<std::int64_t>(inFolder.size());
    for (std::int64_t i = start; i < page.total && i - start < limit; ++i) page.messages.push_back(*inFolder[i]);
    return Fault::None;
}

Fault Store::UpdateMessages(const std::string& account, const std::vector<std::string>& ids,
                            std::optional<std::int64_t> folderId, std::optional<bool> read) {
    return Change(account, [&](AccountData& data) {
        if (folderId && !data.HasFolder(*folderId)) return Fault::FolderNotFound;
        for (const std::string& id : ids)
            if (data.FindMessage(id) == nullptr) return Fault::MessageNotFound;
        for (const std::string& id : ids) {
            MessageRecord* message = data.FindMessage(id);
            if (folderId) message->fid = *folderId;
            if (read) message->read = *read;
        }
        return Fault::None;
    });
}

Fault Store::DeleteMessages(const std::string& account, const std::vector<std::string>& ids) {
    std::vector<std::string> orphans;
    Fault fault = Change(account, [&](AccountData& data) {
        for (const std::string& id : ids)
            if (data.FindMessage(id) == nullptr) return Fault::MessageNotFound;
        std::set<std::string> doomed(ids.begin(), ids.end());
        for (const MessageRecord& message : data.messages)
            if (doomed.count(message.id) != 0 && message.Attached()) orphans.push_back(message.id);
        data.messages.erase(std::remove_if(data.messages.begin(), data.messages.end(),
                                           [&](const MessageRecord& m) { return doomed.count(m.id) != 0; }),
                            data.messages.end());
        return Fault::None;
    });
    // The index no longer names them; a crash before this point leaves
    // files that the next start sweeps away.
    if (fault == Fault::None)
        for (const std::string& id : orphans) ::unlink(AttachmentPath(account, id).c_str());
    return fault;
}

Fault Store::OpenAttachment(const std::string& account, const std::string& messageId, UniqueFd& file,
                            MessageRecord& message) const {
    std::lock_guard<std::mutex> hold(mutex_);
    const AccountData* data = FindLocked(account);
    if (data == nullptr) return Fault::InvalidSession;
    const MessageRecord* found = data->FindMessage(messageId);
    if (found == nullptr) return Fault::MessageNotFound;
    if (!found->Attached()) return Fault::NoAttachment;
    // Opened under the lock: a deletion right after only unlinks the name,
    // and the download goes on reading the open file.
    file.Reset(::open(AttachmentPath(account, messageId).c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) return Fault::StorageFailed;
    message = *found;
    return Fault::None;
}

Fault Store::ImportMessage(const std::string& account, std::int64_t folderId, const std::string& subject,
                           const std::string* attachment, std::int64_t sentAt, std::int64_t receivedAt, bool read) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string written;
    Fault fault = ChangeLocked(account, [&](AccountData& data) {
        if (!data.HasFolder(folderId)) return Fault::FolderNotFound;
        if (data.messages.size() >= kMaxMessages) return Fault::Overflow;
        MessageRecord message = NewMessage(data);
        message.fid = folderId;
        message.from = data.address;
        message.to = data.address;
        message.subject = subject;
        message.sentAt = sentAt;
        message.receivedAt = receivedAt;
        message.read = read;
        if (attachment != nullptr) {
            written = AttachmentPath(account, message.id);
            if (!WriteFileAtomically(written, *attachment)) return Fault::StorageFailed;
            message.attachmentSize = static_cast<std::int64_t>(attachment->size());
        }
        message.size = MailSize(subject.size(), message.attachmentSize);
        data.messages.push_back(std::move(message));
        return Fault::None;
    });
    if (fault != Fault::None && !written.empty()) ::unlink(written.c_str());
    return fault;
}

}  // namespace provider
