// The mailbox as the catalog sees it: folders of mails, each mail with a
// subject, a text body and an attachment. Two kinds of mailbox fill this in:
// the webmail one (mail sent to the account itself, then moved) and IMAP
// (a message appended straight into its folder). Everything above (files,
// parts, manifests, verification) is written once, against this.
//
// A store is used by one thread at a time; Fork() gives another thread a
// store of its own on the same account. Ids are opaque texts, stable for as
// long as the mail stays where it is. Out-parameters are replaced, not
// appended to. No call waits without a bound.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/outcome.h"
#include "platform/byte_reader.h"
#include "platform/stop_token.h"

namespace catalog {

struct FolderInfo {
    std::string id;
    std::string name;  // UTF-8, one level: never holds the store's own delimiter
    std::uint64_t messages = 0;
    std::uint64_t unread = 0;
    std::uint64_t bytes = 0;
    bool system = false;     // inbox, sent, trash...: cannot be renamed or deleted
    std::string parentId{};  // the folder it is nested in; empty at the top
};

struct MailInfo {
    std::string id;
    std::string folderId;
    std::string subject;          // UTF-8, decoded
    std::uint64_t size = 0;       // as the mailbox lists it (the whole mail, not the attachment)
    std::int64_t receivedAt = 0;  // UTC seconds since 1970; 0 when unknown
    bool attached = false;
    std::int64_t sentAt = 0;  // as receivedAt, as the sender dated it
    std::string from{};       // the sender, as the mailbox gives it
    bool read = false;
    // The whole text body (decoded), when the listing brought it along
    // (webmail summaries, an IMAP partial fetch) and it was not cut short;
    // a listing then needs no read of the mail.
    bool textListed = false;
    std::string text{};
};

struct AttachmentInfo {
    std::string name;
    std::uint64_t length = 0;  // decoded bytes
};

struct MailText {
    std::string subject;
    std::string text;  // the plain text body, decoded
    std::vector<AttachmentInfo> attachments;
};

// Called with the bytes of the part sent so far.
using SendProgress = std::function<void(std::uint64_t sent)>;
// Called with each piece of an attachment, in order; returning false stops
// the transfer (the store then returns Cancelled).
using ByteSink = std::function<bool(const char* data, std::size_t size)>;

// One mail to store: its attachment is `length` bytes of `source` from
// `offset`, read by the store while it sends (never held whole in memory).
struct PartUpload {
    std::string folderId;  // where the mail must end up
    std::string subject;
    std::string text;  // the manifest
    std::string attachmentName;
    std::string uploadId;  // also in the manifest: tells our mail from look-alikes
    std::filesystem::path source;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    SendProgress progress;
    platform::StopToken stop;  // once asked, the store ends the send with Cancelled
    // When set, the bytes are read from it (at offset) instead of from source:
    // bytes made on the fly, such as a vault's sealed records.
    std::shared_ptr<platform::ByteReader> reader{};
};

// The reader of the part's bytes: its own, or one on its source file (null when that cannot be opened).
inline std::shared_ptr<platform::ByteReader> PartBytes(const PartUpload& part) {
    if (part.reader) return part.reader;
    return platform::OpenFileReader(part.source);
}

class MailStore {
public:
    virtual ~MailStore() = default;

    virtual Outcome ListFolders(std::vector<FolderInfo>& folders) = 0;
    // Folders nest: a directory of the drive is a folder inside another, so
    // that webmail and mail clients show the same tree. parentId empty means
    // the top. A store that cannot nest refuses a non-empty parentId.
    virtual Outcome CreateFolder(const std::string& parentId, const std::string& name, std::string& newId) = 0;
    virtual Outcome RenameFolder(const std::string& folderId, const std::string& name) = 0;
    // Moves a folder with everything below it under parentId (empty: to the
    // top) in one operation; no mail is sent again. Refused when parentId is
    // the folder itself or lies below it.
    virtual Outcome MoveFolder(const std::string& folderId, const std::string& parentId) = 0;
    // Refused while folders are nested in it (delete from the leaves up).
    virtual Outcome DeleteFolder(const std::string& folderId) = 0;

    // Every mail of the folder, each once, however many pages that takes.
    virtual Outcome ListMails(const std::string& folderId, std::vector<MailInfo>& mails) = 0;
    // Mails whose subject contains `text`, ignoring case; folderId empty
    // searches every folder. Every match, each once.
    virtual Outcome SearchMails(const std::string& text, const std::string& folderId, std::vector<MailInfo>& mails) = 0;
    // The same search in each of several folders (none: every folder), in
    // one request where the provider takes a list of folders.
    virtual Outcome SearchMailsIn(const std::string& text, const std::vector<std::string>& folderIds,
                                  std::vector<MailInfo>& mails);
    virtual Outcome ReadMailText(const std::string& mailId, MailText& mail) = 0;

    // Stores one mail so that it ends up in part.folderId, and gives its id.
    // Only the mail carrying part.uploadId is taken as ours: look-alikes and
    // mails of the same subject stored before are left where they are.
    virtual Outcome StorePart(const PartUpload& part, std::string& newMailId) = 0;
    // Streams the attachment's decoded bytes into the sink.
    virtual Outcome FetchAttachment(const std::string& mailId, const ByteSink& sink) = 0;
    // Streams the whole mail as the mailbox keeps it (what an .eml file
    // holds) into the sink. TooLarge once it runs past `limit` bytes.
    virtual Outcome FetchSource(const std::string& mailId, const ByteSink& sink, std::uint64_t limit) = 0;

    virtual Outcome MoveMails(const std::vector<std::string>& mailIds, const std::string& folderId) = 0;
    // Moves the mails to the trash (nothing is destroyed).
    virtual Outcome DeleteMails(const std::vector<std::string>& mailIds) = 0;

    // An independent connection on the same account, for work on another
    // thread (parts in parallel).
    virtual Outcome Fork(std::unique_ptr<MailStore>& fork) = 0;
    // Where stored mails arrive before they are moved (webmail); empty when
    // they go straight into their folder (IMAP).
    virtual std::string InboxId() const = 0;

    // A pool's lease stands in front of the store it lends. The store's own
    // inner work on several connections (a long listing) forks through
    // ForkSource(), the lease, so that it stays within the pool's budget;
    // Lent() is the store behind a lease (the store itself otherwise).
    virtual MailStore& Lent() { return *this; }
    MailStore& ForkSource() { return forkSource_ ? *forkSource_ : *this; }
    void SetForkSource(MailStore* source) { forkSource_ = source; }

private:
    MailStore* forkSource_ = nullptr;
};

}  // namespace catalog
