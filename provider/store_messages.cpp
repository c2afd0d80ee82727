// Message operations of the store: listing and searching, reading,
// moving, marking, deleting, reading an attachment, and storing messages
// directly.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <unordered_map>

#include "atomic_file.h"
#include "local_date.h"
#include "store.h"
#include "text_rules.h"

namespace provider {

namespace {

bool SubjectMatches(const std::string& subject, const std::vector<MessageQuery::Contains>& conditions) {
    if (conditions.empty()) return true;
    const std::string lower = ToLowerAscii(subject);
    for (const MessageQuery::Contains& condition : conditions)
        if ((condition.ignoreCase ? lower : subject).find(condition.text) == std::string::npos) return false;
    return true;
}

}  // namespace

Fault Store::FindMessages(const std::string& account, const MessageQuery& query, MessagePage& page) const {
    page = MessagePage();
    if (query.start < 0 || query.limit < 0) return Fault::InvalidParameter;
    std::vector<MessageQuery::Contains> needles = query.subjectContains;
    for (MessageQuery::Contains& needle : needles)
        if (needle.ignoreCase) needle.text = ToLowerAscii(needle.text);
    std::lock_guard<std::mutex> hold(mutex_);
    const AccountData* data = FindLocked(account);
    if (data == nullptr) return Fault::InvalidSession;
    std::set<std::int64_t> folders;
    if (query.folderIds) {
        for (std::int64_t id : *query.folderIds) {
            if (!data->HasFolder(id)) return Fault::FolderNotFound;
            folders.insert(id);
        }
    }
    std::vector<const MessageRecord*> found;
    for (const MessageRecord& message : data->messages)
        if ((!query.folderIds || folders.count(message.fid) != 0) && SubjectMatches(message.subject, needles))
            found.push_back(&message);
    const bool newestFirst = query.newestFirst;
    std::sort(found.begin(), found.end(), [newestFirst](const MessageRecord* a, const MessageRecord* b) {
        if (a->receivedAt != b->receivedAt)
            return newestFirst ? a->receivedAt > b->receivedAt : a->receivedAt < b->receivedAt;
        return newestFirst ? a->seq > b->seq : a->seq < b->seq;
    });
    page.total = static_cast<std::int64_t>(found.size());
    for (std::int64_t i = query.start; i < page.total && i - query.start < query.limit; ++i)
        page.messages.push_back(*found[static_cast<std::size_t>(i)]);
    return Fault::None;
}

Fault Store::ReadMessage(const std::string& account, const std::string& messageId, MessageRecord& message) const {
    std::lock_guard<std::mutex> hold(mutex_);
    const AccountData* data = FindLocked(account);
    if (data == nullptr) return Fault::InvalidSession;
    const MessageRecord* found = data->FindMessage(messageId);
    if (found == nullptr) return Fault::MessageNotFound;
    message = *found;
    return Fault::None;
}

Fault Store::UpdateMessages(const std::string& account, const std::vector<std::string>& ids,
                            std::optional<std::int64_t> folderId, std::optional<bool> read) {
    return Change(account, [&](AccountData& data) {
        if (folderId && !data.HasFolder(*folderId)) return Fault::FolderNotFound;
        // One pass over the messages, whatever the number of ids.
        std::unordered_map<std::string, bool> wanted;
        for (const std::string& id : ids) wanted.emplace(id, false);
        for (MessageRecord& message : data.messages) {
            auto found = wanted.find(message.id);
            if (found == wanted.end()) continue;
            found->second = true;
            if (folderId) message.fid = *folderId;
            if (read) message.read = *read;
        }
        for (const auto& [id, seen] : wanted)
            if (!seen) return Fault::MessageNotFound;  // the copy with its changes is dropped
        return Fault::None;
    });
}

Fault Store::DeleteMessages(const std::string& account, const std::vector<std::string>& ids) {
    std::vector<std::string> orphans;
    Fault fault = Change(account, [&](AccountData& data) {
        std::set<std::string> doomed(ids.begin(), ids.end());
        std::size_t seen = 0;
        for (const MessageRecord& message : data.messages) {
            if (doomed.count(message.id) == 0) continue;
            ++seen;
            if (message.Attached()) orphans.push_back(message.id);
        }
        if (seen != doomed.size()) {
            orphans.clear();
            return Fault::MessageNotFound;
        }
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

Fault Store::ImportMessages(const std::string& account, std::size_t count, const ImportSource& source) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::vector<std::string> written;
    Fault fault = ChangeLocked(account, [&](AccountData& data) {
        if (data.messages.size() + count > kMaxMessages) return Fault::Overflow;
        for (std::size_t i = 0; i < count; ++i) {
            ImportedMessage made;
            source(i, made);
            if (!data.HasFolder(made.folderId)) return Fault::FolderNotFound;
            MessageRecord message = NewMessage(data);
            message.fid = made.folderId;
            message.from = data.address;
            message.to = data.address;
            message.subject = std::move(made.subject);
            message.filename = std::move(made.filename);
            message.content = std::move(made.content);
            message.sentAt = made.sentAt;
            message.receivedAt = made.receivedAt;
            message.read = made.read;
            if (made.attached) {
                std::string path = AttachmentPath(account, message.id);
                if (!WriteNewFile(path, made.attachment)) return Fault::StorageFailed;
                written.push_back(std::move(path));
                message.attachmentSize = static_cast<std::int64_t>(made.attachment.size());
            }
            message.size = MailSize(message.subject.size() + message.content.size(), message.attachmentSize);
            data.messages.push_back(std::move(message));
        }
        return SyncFileSystem(AccountDir(account)) ? Fault::None : Fault::StorageFailed;
    });
    if (fault != Fault::None)
        for (const std::string& path : written) ::unlink(path.c_str());
    return fault;
}

}  // namespace provider
