// The webmail store: mails listed, stored (sent to the account itself, then
// moved), fetched and moved; its folders are in webmail_folders.cpp.
#include "webmail/webmail_store.h"

#include <algorithm>
#include <ctime>
#include <unordered_set>

#include "catalog/manifest.h"
#include "platform/backoff.h"
#include "session/cells.h"
#include "session/download.h"
#include "session/exchange.h"
#include "session/message_moves.h"
#include "session/raw_message.h"
#include "session/upload.h"
#include "webmail/page_fan.h"

namespace webmail {

using namespace catalog;

namespace {

using session::Status;

// Mails before the end of the previous page that the next page reads
// again, so that a few mails arriving or leaving meanwhile are noticed.
constexpr std::size_t kPageOverlap = 8;
// Ids per move request: the request has room for about a hundred.
constexpr std::size_t kMovesPerRequest = 50;
// Characters of each mail's text a listing asks for: a manifest whole,
// with a name of a few hundred characters.
constexpr std::uint32_t kSummaryWindow = 1024;
// Newest mails of the inbox looked at for a part just delivered, before a
// search: more than the parts sent at once, so that ours is among them.
constexpr std::uint32_t kNewestLook = 16;

// "year,month,day,hour,minute,second" (month from 1) in local time, as UTC
// seconds; 0 when the text is not such a date.
std::int64_t LocalDateSeconds(const std::string& date) {
    int parts[6] = {};
    std::size_t count = 0, at = 0;
    while (count < 6 && at <= date.size()) {
        std::size_t comma = std::min(date.find(',', at), date.size());
        std::uint64_t value = 0;
        if (!session::ReadCount(std::string_view(date).substr(at, comma - at), value) || value > 9999) return 0;
        parts[count++] = static_cast<int>(value);
        at = comma + 1;
    }
    if (count != 6 || at <= date.size()) return 0;
    std::tm local{};
    local.tm_year = parts[0] - 1900;
    local.tm_mon = parts[1] - 1;
    local.tm_mday = parts[2];
    local.tm_hour = parts[3];
    local.tm_min = parts[4];
    local.tm_sec = parts[5];
    local.tm_isdst = -1;
    std::time_t seconds = std::mktime(&local);
    return seconds == static_cast<std::time_t>(-1) ? 0 : static_cast<std::int64_t>(seconds);
}

// A summary is the whole text when it is shorter than the window asked for
// and ends a line (every manifest does): a text cut at the window, or by a
// provider that counts characters otherwise, is not taken as whole.
bool WholeText(const session::MessageSummary& message) {
    if (!message.hasSummary || message.summary.empty() || message.summary.back() != '\n') return false;
    std::size_t characters = 0;
    for (char c : message.summary) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters < kSummaryWindow;
}

// Whether the mail's text is a manifest of the given upload.
bool CarriesUpload(const std::string& text, const std::string& uploadId) {
    Manifest manifest;
    std::string problem;
    return ReadManifest(text, manifest, problem) == ManifestRead::Ok && manifest.uploadId == uploadId;
}

MailInfo InfoOf(session::MessageSummary&& message) {
    MailInfo mail;
    mail.id = std::move(message.id);
    mail.folderId = std::move(message.folderId);
    mail.subject = std::move(message.subject);
    mail.size = message.size;
    mail.receivedAt = LocalDateSeconds(message.receivedDate);
    mail.sentAt = LocalDateSeconds(message.sentDate);
    mail.from = std::move(message.from);
    mail.attached = message.attached;
    mail.read = message.read;
    mail.textListed = WholeText(message);
    if (mail.textListed) mail.text = std::move(message.summary);
    return mail;
}

}  // namespace

Outcome ReadEveryPage(const std::string& what, const PageSource& source, std::uint32_t pageSize,
                      std::vector<MailInfo>& mails) {
    mails.clear();
    std::unordered_set<std::string> seen;
    std::uint32_t limit = std::max<std::uint32_t>(1, pageSize);
    std::uint64_t start = 0;
    // Enough requests for a folder that shifts under every page a few times over.
    std::uint64_t requestsLeft = 16;
    bool counted = false;
    for (;;) {
        if (requestsLeft-- == 0)
            return Failure(StoreCode::Broken, what + ": the folder kept changing while it was being listed");
        session::MessagePage page;
        Outcome outcome = source(start, limit, page);
        if (!outcome.Ok()) return outcome;
        if (page.hasTotal && !counted) {
            counted = true;
            requestsLeft += 3 * (page.total / limit + 1);
        }
        const std::size_t got = page.messages.size();
        // Take what follows the last mail this page holds that was already taken.
        std::size_t from = 0;
        for (std::size_t i = got; start > 0 && i-- > 0;) {
            if (seen.count(page.messages[i].id) == 0) continue;
            from = i + 1;
            break;
        }
        if (start > 0 && from == 0 && got > 0) {
            // None of them was taken yet: mails left before this page. Read again from further back.
            start = start > limit / 2 ? start - limit / 2 : 0;
            continue;
        }
        for (std::size_t i = from; i < got; ++i)
            if (seen.insert(page.messages[i].id).second) mails.push_back(InfoOf(std::move(page.messages[i])));

        const bool ended = got == 0 || (page.hasTotal ? start + got >= page.total : got < limit);
        if (ended) return Success();
        // A provider that answers shorter pages than asked sets the page size.
        if (got < limit) limit = static_cast<std::uint32_t>(got);
        start += got - std::min(kPageOverlap, got / 2);
    }
}

WebmailStore::WebmailStore(session::Session& session, WebmailOptions options) : session_(session), options_(options) {}

WebmailStore::WebmailStore(std::unique_ptr<session::Session> session, WebmailOptions options)
    : owned_(std::move(session)), session_(*owned_), options_(options) {}

Outcome WebmailStore::Call(const std::string& what, const std::function<Status()>& request) {
    Status status = request();
    if (status == Status::Refused && session_.refusalCode == "FA_INVALID_SESSION" && signInAgain_ &&
        signInAgain_(session_))
        status = request();
    return OutcomeOf(status, session_.refusalCode, what);
}

Outcome WebmailStore::ListMails(const std::string& folderId, std::vector<MailInfo>& mails) {
    const std::string what = "list folder " + folderId;
    auto sourceOf = [&](WebmailStore& store) -> PageSource {
        return [&store, &what, &folderId](std::uint64_t start, std::uint32_t limit, session::MessagePage& page) {
            return store.Call(what, [&] {
                return session::ListMessagePage(store.session_, folderId, start, limit, page, kSummaryWindow);
            });
        };
    };
    // The first page tells how many there are; the rest of a long folder
    // comes on several connections at once, when its pages join up.
    const std::uint32_t limit = std::max<std::uint32_t>(1, options_.pageSize);
    session::MessagePage first;
    Outcome outcome = sourceOf(*this)(0, limit, first);
    if (!outcome.Ok()) return outcome;
    // The engine's workers are this store and its forks, webmail stores all
    // (behind a pool's leases when this store is lent: the forks are the pool's).
    const PageSourceOn sourceOn = [&](MailStore& store) { return sourceOf(static_cast<WebmailStore&>(store.Lent())); };
    std::vector<session::MessagePage> pages;
    bool joined = false;
    outcome = ReadPagesAtOnce(ForkSource(), options_.listingConnections, sourceOn, first, limit, pages, joined);
    if (!outcome.Ok()) return outcome;
    if (!joined && !(first.hasTotal && first.messages.size() == first.total))
        return ReadEveryPage(what, sourceOf(*this), options_.pageSize, mails);
    mails.clear();
    std::unordered_set<std::string> seen;
    pages.insert(pages.begin(), std::move(first));
    for (session::MessagePage& page : pages)
        for (session::MessageSummary& message : page.messages)
            if (seen.insert(message.id).second) mails.push_back(InfoOf(std::move(message)));
    return Success();
}

Outcome WebmailStore::SearchMails(const std::string& text, const std::string& folderId, std::vector<MailInfo>& mails) {
    return SearchMailsIn(text, folderId.empty() ? std::vector<std::string>() : std::vector<std::string>{folderId},
                         mails);
}

Outcome WebmailStore::SearchMailsIn(const std::string& text, const std::vector<std::string>& folderIds,
                                    std::vector<MailInfo>& mails) {
    const std::string what = "search for '" + text + "'";
    const PageSource source = [&](std::uint64_t start, std::uint32_t limit, session::MessagePage& page) {
        return Call(what, [&] { return session::SearchMessagePage(session_, text, folderIds, start, limit, page); });
    };
    return ReadEveryPage(what, source, options_.pageSize, mails);
}

Outcome WebmailStore::ReadMailText(const std::string& mailId, MailText& mail) {
    session::MessageContent content;
    Outcome outcome = Call("read mail " + mailId, [&] { return session::ReadMessage(session_, mailId, content); });
    if (!outcome.Ok()) return outcome;
    mail = MailText();
    mail.subject = std::move(content.subject);
    mail.text = std::move(content.text);
    for (session::AttachmentSummary& attachment : content.attachments)
        mail.attachments.push_back({std::move(attachment.filename), attachment.contentLength});
    return Success();
}

Outcome WebmailStore::InboxIdsWithSubject(const std::string& subject, std::vector<std::string>& ids) {
    std::vector<MailInfo> mails;
    Outcome outcome = SearchMails(subject, kInbox, mails);
    ids.clear();
    for (const MailInfo& mail : mails)
        if (mail.subject == subject) ids.push_back(mail.id);
    return outcome;
}

Outcome WebmailStore::OursAmong(const PartUpload& part, const std::vector<std::string>& ids,
                                std::vector<std::string>& ours) {
    ours.clear();
    for (const std::string& id : ids) {
        MailText mail;
        Outcome outcome = ReadMailText(id, mail);
        if (outcome.code == StoreCode::NotFound) continue;  // taken away meanwhile: not ours
        if (!outcome.Ok()) return outcome;
        if (CarriesUpload(mail.text, part.uploadId)) ours.push_back(id);
    }
    return Success();
}

Outcome WebmailStore::TakeOurs(const std::vector<std::string>& ours, std::string& mailId) {
    mailId = ours.front();
    // Copies of the same part (a delivery of an interrupted run that landed
    // late) go to the trash, so that the part is stored once.
    if (ours.size() > 1) DeleteMails(std::vector<std::string>(ours.begin() + 1, ours.end()));
    return Success();
}

Outcome WebmailStore::OursAmongNewest(const PartUpload& part, std::vector<std::string>& ours) {
    ours.clear();
    session::MessagePage page;
    Outcome outcome = Call("look for " + part.attachmentName, [&] {
        return session::ListMessagePage(session_, kInbox, 0, kNewestLook, page, kSummaryWindow);
    });
    if (!outcome.Ok()) return outcome;
    for (session::MessageSummary& message : page.messages) {
        if (message.subject != part.subject) continue;
        const MailInfo mail = InfoOf(std::move(message));
        if (mail.textListed && CarriesUpload(mail.text, part.uploadId)) ours.push_back(mail.id);
    }
    return Success();
}

Outcome WebmailStore::FindDelivered(const PartUpload& part, int boundMs, std::string& mailId) {
    platform::Backoff pauses({options_.firstPauseMs, options_.longestPauseMs, boundMs, false}, part.stop);
    std::vector<std::string> looked;  // ids that are not ours
    for (;;) {
        std::vector<std::string> candidates, ours;
        // The mail just delivered is among the newest, its manifest in the
        // page: no search and no read. Otherwise the inbox is searched.
        Outcome outcome = OursAmongNewest(part, ours);
        if (!outcome.Ok()) return outcome;
        if (!ours.empty()) return TakeOurs(ours, mailId);
        outcome = InboxIdsWithSubject(part.subject, candidates);
        if (!outcome.Ok()) return outcome;
        candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                        [&](const std::string& id) {
                                            return std::find(looked.begin(), looked.end(), id) != looked.end();
                                        }),
                         candidates.end());
        outcome = OursAmong(part, candidates, ours);
        if (!outcome.Ok()) return outcome;
        if (!ours.empty()) return TakeOurs(ours, mailId);
        looked.insert(looked.end(), candidates.begin(), candidates.end());
        if (pauses.Wait()) continue;
        // Asked to stop: a later run finds the delivered mail by its upload id.
        if (part.stop.StopRequested()) return Failure(StoreCode::Cancelled, part.attachmentName);
        return Failure(StoreCode::NotFound, "the mail of " + part.attachmentName +
                                                " did not arrive in the inbox within " +
                                                std::to_string(boundMs / 1000) + " s");
    }
}

Outcome WebmailStore::Deliver(const PartUpload& part, std::string& mailId) {
    const session::FileRange range{part.source, part.offset, part.length, part.attachmentName, part.reader};
    // The short-time sending limit: spread parallel senders out.
    platform::Backoff pauses({options_.quotaFirstPauseMs, options_.quotaLongestPauseMs, options_.quotaBoundMs, true},
                             part.stop);
    int sendsLeft = std::max(1, options_.sendAttempts);
    for (;;) {
        Outcome outcome = Call("store " + part.attachmentName, [&] {
            Status status = session::UploadFileRange(session_, range, [&](std::uint64_t sent) {
                if (part.progress) part.progress(sent);
                return !part.stop.StopRequested();
            });
            if (status != Status::Ok) return status;
            return session::DeliverFile(session_, part.subject, part.text, part.attachmentName, part.length);
        });
        if (outcome.Ok()) return FindDelivered(part, options_.deliveryBoundMs, mailId);
        const bool cut = outcome.code == StoreCode::Broken || outcome.code == StoreCode::TimedOut;
        if (!cut && outcome.code != StoreCode::QuotaShortTerm && outcome.code != StoreCode::QuotaDaily) return outcome;
        // The mail may have been taken in before the refusal or the cut.
        Outcome look = FindDelivered(part, cut ? options_.lookAfterCutMs : 0, mailId);
        if (look.Ok()) return look;
        if (look.code != StoreCode::NotFound) return outcome;
        if (outcome.code == StoreCode::QuotaDaily)
            return Failure(StoreCode::QuotaDaily,
                           "the provider's daily sending quota is used up; what is stored stays, and the same "
                           "command finishes the job once the provider takes mail again (" +
                               outcome.detail + ")");
        if (outcome.code == StoreCode::QuotaShortTerm && !pauses.Wait()) {
            if (part.stop.StopRequested()) return Failure(StoreCode::Cancelled, outcome.detail);
            return Failure(StoreCode::QuotaShortTerm, outcome.detail + "; still refused after waiting " +
                                                          std::to_string(pauses.WaitedMs() / 1000) + " s");
        }
        if (cut && --sendsLeft == 0) return outcome;
    }
}

Outcome WebmailStore::StorePart(const PartUpload& part, std::string& newMailId) {
    newMailId.clear();
    std::string id;
    Outcome outcome = Deliver(part, id);
    if (!outcome.Ok()) return outcome;
    if (part.folderId != kInbox) outcome = MoveMails({id}, part.folderId);
    if (outcome.Ok()) newMailId = id;
    return outcome;
}

Outcome WebmailStore::FetchAttachment(const std::string& mailId, const ByteSink& sink) {
    bool started = false;
    const session::BodySink pass = [&](const char* data, std::size_t size) {
        started = true;
        return sink(data, size);
    };
    // Bytes already handed on are never asked for again.
    return Call("fetch mail " + mailId, [&] {
        return started ? Status::Incomplete : session::FetchAttachment(session_, mailId, kLargestPart, pass);
    });
}

Outcome WebmailStore::FetchSource(const std::string& mailId, const ByteSink& sink, std::uint64_t limit) {
    bool started = false;
    const session::BodySink pass = [&](const char* data, std::size_t size) {
        started = true;
        return sink(data, size);
    };
    // A source past the bound is the mail's size, not a garbled answer.
    return Call("fetch the source of mail " + mailId, [&] {
        if (started) return Status::Incomplete;
        Status status = session::FetchRawMessage(session_, mailId, limit, pass);
        return status == Status::AnswerTooLarge ? Status::FileTooLarge : status;
    });
}

Outcome WebmailStore::MoveMails(const std::vector<std::string>& mailIds, const std::string& folderId) {
    for (std::size_t at = 0; at < mailIds.size(); at += kMovesPerRequest) {
        auto first = mailIds.begin() + static_cast<std::ptrdiff_t>(at);
        session::MessageIdQueue ids(
            first, first + static_cast<std::ptrdiff_t>(std::min(kMovesPerRequest, mailIds.size() - at)));
        Outcome outcome =
            Call("move mails to folder " + folderId, [&] { return session::MoveMessages(session_, ids, folderId); });
        if (!outcome.Ok()) return outcome;
    }
    return Success();
}

Outcome WebmailStore::DeleteMails(const std::vector<std::string>& mailIds) {
    return MoveMails(mailIds, kTrash);
}

Outcome WebmailStore::Fork(std::unique_ptr<MailStore>& fork) {
    auto copy = std::make_unique<session::Session>();
    session::CopySignIn(session_, *copy);
    auto store = std::make_unique<WebmailStore>(std::move(copy), options_);
    store->SetSignInAgain(signInAgain_);
    fork = std::move(store);
    return Success();
}

}  // namespace webmail
