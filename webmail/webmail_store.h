// The mailbox of a webmail account on the provider's script interface
// (session/): the catalog's MailStore over a signed-in Session.
//
// A part is stored the way the program has always stored files (a mail to
// the account itself, then moved out of the inbox), with an exact find of
// the delivered mail: ours is a mail in the inbox whose subject is the
// part's and whose manifest carries the part's upload id, looked for among
// the newest mails of the inbox first (one page, manifests in it), then by
// a search of the inbox. Look-alikes and
// older mails of the same subject stay where they are. The inbox is not
// searched before sending (a put has looked for its earlier deliveries
// already): a delivery of an interrupted run that landed late is found
// beside the new one, which is then a copy of the part and goes to the
// trash.
//
// A delivery is never repeated blindly: a repeated delivery is a second
// copy of the part. After a refusal of the short-time sending limit or an
// answer cut off, the inbox is searched for the part's upload id first; it
// is sent again only when it is not there. The daily limit stops the part
// with QuotaDaily at once.
//
// Listings read every page. The folder may change meanwhile: each page
// after the first starts a few mails before the end of the one before, and
// reading goes on after the last mail already taken that the page holds
// (a page holding none of them is read again from further back). Mails
// that stay in the folder throughout are listed exactly once whatever
// arrives or leaves; a mail that arrives meanwhile may be missed, one that
// leaves may still be listed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/mail_store.h"
#include "session/message_queries.h"
#include "session/session.h"
#include "session/status.h"

namespace webmail {

struct WebmailOptions {
    // How long StorePart looks for the delivered mail in the inbox, and the
    // pauses between its looks (doubling from the first to the longest).
    int deliveryBoundMs = 60000;
    int firstPauseMs = 50;
    int longestPauseMs = 2000;
    std::uint32_t pageSize = session::kLargestPage;
    // The provider's short-time sending limit: pauses from the first to the
    // longest (doubling, each shortened by a random fraction of up to half
    // so that parallel senders spread out), at most quotaBoundMs in all.
    int quotaFirstPauseMs = 1000;
    int quotaLongestPauseMs = 60000;
    int quotaBoundMs = 15 * 60000;
    // After a delivery whose answer was cut off, how long to look for the
    // mail in the inbox before sending it again, and how many sends a part
    // gets in all when the connection keeps breaking.
    int lookAfterCutMs = 3000;
    int sendAttempts = 3;
    // Connections a long listing reads its pages on at once.
    unsigned listingConnections = 4;
};

// Signs the session in again after the provider ended it; true when that
// worked. The store then repeats the refused request once.
using SignInAgain = std::function<bool(session::Session& session)>;

// One page of a listing or a search: at most `limit` messages from `start`.
using PageSource =
    std::function<catalog::Outcome(std::uint64_t start, std::uint32_t limit, session::MessagePage& page)>;

// Every mail the pages of a listing hold, each once, paging as the top of
// this file says; `what` names the listing in a failure.
catalog::Outcome ReadEveryPage(const std::string& what, const PageSource& source, std::uint32_t pageSize,
                               std::vector<catalog::MailInfo>& mails);

// The outcome of a session operation; `what` names the operation in the
// detail (e.g. "read mail 1tbi..."), with the provider's refusal code (also
// in Outcome::refusal) or the TLS problem when there is one.
catalog::Outcome OutcomeOf(session::Status status, const std::string& refusalCode, const std::string& what);

class WebmailStore : public catalog::MailStore {
public:
    static constexpr const char* kInbox = "1";
    static constexpr const char* kTrash = "4";

    // Works on `session`, signed in, which must outlive the store.
    explicit WebmailStore(session::Session& session, WebmailOptions options = {});
    // Owns its session (a fork).
    explicit WebmailStore(std::unique_ptr<session::Session> session, WebmailOptions options = {});

    // Called when the provider answers FA_INVALID_SESSION; without it that
    // answer is the outcome SessionExpired. Forks take it over.
    void SetSignInAgain(SignInAgain hook) { signInAgain_ = std::move(hook); }
    session::Session& Session() { return session_; }

    catalog::Outcome ListFolders(std::vector<catalog::FolderInfo>& folders) override;
    catalog::Outcome CreateFolder(const std::string& parentId, const std::string& name, std::string& newId) override;
    catalog::Outcome MoveFolder(const std::string& folderId, const std::string& parentId) override;
    catalog::Outcome RenameFolder(const std::string& folderId, const std::string& name) override;
    catalog::Outcome DeleteFolder(const std::string& folderId) override;
    catalog::Outcome ListMails(const std::string& folderId, std::vector<catalog::MailInfo>& mails) override;
    catalog::Outcome SearchMails(const std::string& text, const std::string& folderId,
                                 std::vector<catalog::MailInfo>& mails) override;
    catalog::Outcome SearchMailsIn(const std::string& text, const std::vector<std::string>& folderIds,
                                   std::vector<catalog::MailInfo>& mails) override;
    catalog::Outcome ReadMailText(const std::string& mailId, catalog::MailText& mail) override;
    catalog::Outcome StorePart(const catalog::PartUpload& part, std::string& newMailId) override;
    catalog::Outcome FetchAttachment(const std::string& mailId, const catalog::ByteSink& sink) override;
    catalog::Outcome FetchSource(const std::string& mailId, const catalog::ByteSink& sink,
                                 std::uint64_t limit) override;
    catalog::Outcome MoveMails(const std::vector<std::string>& mailIds, const std::string& folderId) override;
    // To the trash folder (已删除); nothing is destroyed.
    catalog::Outcome DeleteMails(const std::vector<std::string>& mailIds) override;
    catalog::Outcome Fork(std::unique_ptr<catalog::MailStore>& fork) override;
    std::string InboxId() const override { return kInbox; }

private:
    // Runs a request; repeats it once after signing in again when the
    // provider had ended the session.
    catalog::Outcome Call(const std::string& what, const std::function<session::Status()>& request);
    catalog::Outcome InboxIdsWithSubject(const std::string& subject, std::vector<std::string>& ids);
    // The mails among `ids` that carry the part's upload id, in order.
    catalog::Outcome OursAmong(const catalog::PartUpload& part, const std::vector<std::string>& ids,
                               std::vector<std::string>& ours);
    // The mails among the newest of the inbox that carry the part's subject
    // and upload id (their manifests come with the page).
    catalog::Outcome OursAmongNewest(const catalog::PartUpload& part, std::vector<std::string>& ours);
    // Takes the first of them; the others are copies of it, moved to the trash.
    catalog::Outcome TakeOurs(const std::vector<std::string>& ours, std::string& mailId);
    // Looks for the delivered mail for up to boundMs (0: one look).
    catalog::Outcome FindDelivered(const catalog::PartUpload& part, int boundMs, std::string& mailId);
    // Sends the part until it is in the inbox, as the top of this file says.
    catalog::Outcome Deliver(const catalog::PartUpload& part, std::string& mailId);

    std::unique_ptr<session::Session> owned_;
    session::Session& session_;
    WebmailOptions options_;
    SignInAgain signInAgain_;
};

}  // namespace webmail
