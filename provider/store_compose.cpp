// Compose sessions, uploads into them, and delivery.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "local_date.h"
#include "random_text.h"
#include "store.h"
#include "text_rules.h"

namespace provider {

namespace {

// A second name for the same bytes: the attachment of each delivered copy
// is a hard link to the upload, so a 2 GiB file is not copied once per
// recipient. Where links are not possible the bytes are copied.
bool LinkOrCopy(const std::string& from, const std::string& to) {
    if (::link(from.c_str(), to.c_str()) == 0) return true;
    std::error_code failure;
    return std::filesystem::copy_file(from, to, failure) && !failure;
}

}  // namespace

Fault Store::OpenCompose(const std::string& account, std::string& composeId) {
    std::string made = RandomAlnum(24);
    std::vector<std::string> dropped;
    Fault fault = Change(account, [&](AccountData& data) {
        data.composes.push_back(ComposeRecord{made, NowSeconds()});
        // Sessions that were opened and never delivered do not pile up: the
        // oldest go once there are too many.
        while (data.composes.size() > kMaxComposeSessions) {
            dropped.push_back(data.composes.front().id);
            data.composes.erase(data.composes.begin());
        }
        return Fault::None;
    });
    if (fault != Fault::None) return fault;
    for (const std::string& id : dropped) ::unlink(ComposeUploadPath(account, id).c_str());
    composeId = made;
    return Fault::None;
}

Fault Store::UploadTarget(const std::string& account, const std::string& composeId, std::string& temporaryPath) const {
    std::lock_guard<std::mutex> hold(mutex_);
    const AccountData* data = FindLocked(account);
    if (data == nullptr) return Fault::InvalidSession;
    if (!data->HasCompose(composeId)) return Fault::ComposeNotFound;
    temporaryPath = ComposeUploadPath(account, composeId) + "." + RandomAlnum(8) + ".part";
    return Fault::None;
}

Fault Store::FinishUpload(const std::string& account, const std::string& composeId, const std::string& temporaryPath) {
    std::lock_guard<std::mutex> hold(mutex_);
    const AccountData* data = FindLocked(account);
    Fault fault = Fault::None;
    if (data == nullptr)
        fault = Fault::InvalidSession;
    else if (!data->HasCompose(composeId))
        fault = Fault::ComposeNotFound;  // dropped while the file came in
    else if (::rename(temporaryPath.c_str(), ComposeUploadPath(account, composeId).c_str()) != 0)
        fault = Fault::StorageFailed;
    if (fault != Fault::None) ::unlink(temporaryPath.c_str());
    return fault;
}

Fault Store::Deliver(const std::string& account, const Delivery& delivery, DeliveryResult& result) {
    result = DeliveryResult();
    if (!IsValidSubject(delivery.subject) || !IsValidSubject(delivery.attachmentName) ||
        !IsValidUtf8(delivery.content) || delivery.recipients.empty())
        return Fault::InvalidParameter;
    std::lock_guard<std::mutex> hold(mutex_);
    const AccountData* sender = FindLocked(account);
    if (sender == nullptr) return Fault::InvalidSession;
    if (!sender->HasCompose(delivery.composeId)) return Fault::ComposeNotFound;

    std::vector<std::string> recipients;
    for (const std::string& recipient : delivery.recipients) {
        std::string address = ToLowerAscii(recipient);
        if (FindLocked(address) == nullptr) return Fault::RecipientNotFound;
        if (std::find(recipients.begin(), recipients.end(), address) == recipients.end()) recipients.push_back(address);
    }
    std::string toText;
    for (const std::string& address : recipients) toText += (toText.empty() ? "" : ", ") + address;

    const std::string upload = ComposeUploadPath(account, delivery.composeId);
    struct stat info {};
    const std::int64_t attachmentSize =
        ::stat(upload.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : -1;
    if (attachmentSize > delivery.attachmentLimit) return Fault::Overflow;
    if (delivery.admit) {
        Fault refused = delivery.admit();
        if (refused != Fault::None) return refused;
    }
    const std::int64_t now = NowSeconds();

    // Working copies of every account the delivery touches; nothing is
    // kept unless every one of them is written.
    std::map<std::string, AccountData> changed;
    changed[account] = *sender;
    for (const std::string& address : recipients) changed.emplace(address, *FindLocked(address));
    std::vector<std::string> links;
    auto undoLinks = [&] {
        for (const std::string& link : links) ::unlink(link.c_str());
    };
    auto addCopy = [&](const std::string& owner, std::int64_t folderId, bool read, std::string& id) {
        AccountData& data = changed[owner];
        if (data.messages.size() >= kMaxMessages) return Fault::Overflow;
        MessageRecord message = NewMessage(data);
        message.fid = folderId;
        message.from = account;
        message.to = toText;
        message.subject = delivery.subject;
        message.filename = delivery.attachmentName;
        message.content = delivery.content;
        message.sentAt = now;
        message.receivedAt = now;
        message.read = read;
        if (attachmentSize >= 0) {
            std::string path = AttachmentPath(owner, message.id);
            if (!LinkOrCopy(upload, path)) return Fault::StorageFailed;
            links.push_back(path);
            message.attachmentSize = attachmentSize;
        }
        message.size = MailSize(message.subject.size() + message.content.size(), message.attachmentSize);
        id = message.id;
        data.messages.push_back(std::move(message));
        return Fault::None;
    };

    for (const std::string& address : recipients) {
        std::string id;
        Fault fault = addCopy(address, kInboxId, false, id);
        if (fault != Fault::None) {
            undoLinks();
            return fault;
        }
        result.inboxIds.push_back(id);
    }
    if (delivery.saveSentCopy) {
        Fault fault = addCopy(account, kSentId, true, result.sentId);
        if (fault != Fault::None) {
            undoLinks();
            result = DeliveryResult();
            return fault;
        }
    }
    auto& composes = changed[account].composes;
    composes.erase(std::remove_if(composes.begin(), composes.end(),
                                  [&](const ComposeRecord& c) { return c.id == delivery.composeId; }),
                   composes.end());

    std::vector<std::string> written;
    for (const auto& [address, data] : changed) {
        if (Persist(data)) {
            written.push_back(address);
            continue;
        }
        for (const std::string& done : written) Persist(accounts_[done]);  // put back what was already written
        undoLinks();
        result = DeliveryResult();
        return Fault::StorageFailed;
    }
    for (auto& [address, data] : changed) accounts_[address] = std::move(data);
    ::unlink(upload.c_str());
    return Fault::None;
}

}  // namespace provider
