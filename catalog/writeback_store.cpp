#include "catalog/writeback_store.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

#include "catalog/manifest.h"
#include "catalog/part_mark.h"

namespace catalog {

using catalog::Failure;
using catalog::Outcome;
using catalog::StoreCode;

namespace {

// The mails of `folderId` that hold parts of this upload, by part number;
// a part found twice is trashed (extras only).
Outcome FindStoredParts(catalog::MailStore& store, const catalog::UploadPlan& plan, const std::string& folderId,
                        std::map<std::uint32_t, std::string>& found) {
    std::vector<catalog::MailInfo> mails;
    Outcome outcome = store.ListMails(folderId, mails);
    if (!outcome.Ok()) return outcome;
    const auto parts = static_cast<std::uint32_t>(plan.parts.size());
    const std::string tag = parts > 1 ? plan.uploadId.substr(0, 8) : "";
    std::vector<std::string> extra;
    for (const catalog::MailInfo& mail : mails) {
        catalog::SubjectMark mark = catalog::ReadSubject(mail.subject);
        if (mark.name != plan.name || mark.parts != parts || mark.tag != tag) continue;
        catalog::MailText text;
        catalog::Manifest manifest;
        std::string problem;
        outcome = store.ReadMailText(mail.id, text);
        if (outcome.code == StoreCode::NotFound) continue;
        if (!outcome.Ok()) return outcome;
        if (catalog::ReadManifest(text.text, manifest, problem) != catalog::ManifestRead::Ok ||
            manifest.uploadId != plan.uploadId || manifest.part != mark.part)
            continue;
        if (found.count(mark.part))
            extra.push_back(mail.id);
        else
            found[mark.part] = mail.id;
    }
    if (!extra.empty()) store.DeleteMails(extra);
    return {};
}

// Trashes what an earlier attempt stored of other bytes under this name
// (the file changed before that attempt was done), from the folder and the
// inbox, so that it does not stay behind as an incomplete file.
Outcome TrashEarlierUpload(catalog::MailStore& store, const std::string& name, const std::string& folderId,
                           const std::string& uploadId) {
    std::vector<std::string> earlier, folders = {folderId};
    if (!store.InboxId().empty() && store.InboxId() != folderId) folders.push_back(store.InboxId());
    for (const std::string& folder : folders) {
        std::vector<catalog::MailInfo> mails;
        Outcome outcome = store.ListMails(folder, mails);
        if (!outcome.Ok()) return outcome;
        for (const catalog::MailInfo& mail : mails) {
            catalog::SubjectMark mark = catalog::ReadSubject(mail.subject);
            if (mark.name != name || (!mark.tag.empty() && mark.tag != uploadId.substr(0, 8))) continue;
            catalog::MailText text;
            catalog::Manifest manifest;
            std::string problem;
            if (store.ReadMailText(mail.id, text).Ok() &&
                catalog::ReadManifest(text.text, manifest, problem) == catalog::ManifestRead::Ok &&
                manifest.uploadId == uploadId)
                earlier.push_back(mail.id);
        }
    }
    return earlier.empty() ? Outcome{} : store.DeleteMails(earlier);
}

}  // namespace

Outcome StoreOnce(const StoreRunner& run, Journal& journal, PendingStore& pending, std::uint64_t partSize,
                  const std::function<bool()>& keepGoing, unsigned parallel, StoredFile& stored) {
    stored = StoredFile();
    catalog::UploadPlan& plan = stored.plan;
    const std::uint64_t size = pending.uploadId.empty() ? partSize : pending.partSize;
    Outcome outcome = catalog::PlanUpload(journal.DataPath(pending), size, {}, {}, plan);
    if (!outcome.Ok()) return outcome;

    std::map<std::uint32_t, std::string> found;
    if (!pending.uploadId.empty() && pending.sha256 == plan.sha256) {
        // An earlier attempt on these very bytes: look for what it stored.
        plan.uploadId = pending.uploadId;
        plan.stored = pending.stored;
        outcome = run([&](catalog::MailStore& store) {
            found.clear();
            const std::string inbox = store.InboxId();
            if (!inbox.empty() && inbox != pending.folderId) {
                std::map<std::uint32_t, std::string> delivered;
                Outcome looked = FindStoredParts(store, plan, inbox, delivered);
                std::vector<std::string> ids;
                for (auto& [number, id] : delivered) ids.push_back(id);
                if (looked.Ok() && !ids.empty()) looked = store.MoveMails(ids, pending.folderId);
                if (!looked.Ok()) return looked;
            }
            return FindStoredParts(store, plan, pending.folderId, found);
        });
        if (!outcome.Ok()) return outcome;
    } else {
        if (!pending.uploadId.empty()) {
            outcome = run([&](catalog::MailStore& store) {
                return TrashEarlierUpload(store, plan.name, pending.folderId, pending.uploadId);
            });
            if (!outcome.Ok()) return outcome;
        }
        pending.partSize = size;
        pending.uploadId = plan.uploadId;
        pending.sha256 = plan.sha256;
        pending.stored = plan.stored;
        if (!journal.Save(pending)) return Failure(StoreCode::LocalFile, "the journal could not be written");
    }

    // The missing parts, `parallel` at a time; the first failure stops the rest.
    std::vector<const catalog::UploadPart*> missing;
    for (const catalog::UploadPart& part : plan.parts)
        if (!found.count(part.number)) missing.push_back(&part);
    std::mutex mutex;
    std::size_t next = 0;
    Outcome failure;
    auto sender = [&] {
        for (;;) {
            const catalog::UploadPart* part;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (next == missing.size() || !failure.Ok()) return;
                part = missing[next++];
            }
            auto still = [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return failure.Ok() && keepGoing();
            };
            std::string mailId;
            platform::StopSource stop;
            Outcome sent = still() ? run([&](catalog::MailStore& store) {
                return catalog::StorePlannedPart(
                    store, plan, *part, pending.folderId,
                    [&](std::uint64_t) {
                        if (!still()) stop.RequestStop();
                    },
                    stop.Token(), mailId);
            })
                                   : Failure(StoreCode::Cancelled, plan.name);
            std::lock_guard<std::mutex> lock(mutex);
            if (sent.Ok())
                found[part->number] = mailId;
            else if (failure.Ok())
                failure = sent;
        }
    };
    std::vector<std::thread> senders;
    for (unsigned i = 1; i < std::min<std::size_t>(std::max(1u, parallel), missing.size()); ++i)
        senders.emplace_back(sender);
    sender();
    for (std::thread& thread : senders) thread.join();
    if (!failure.Ok()) return failure;
    if (!catalog::SourceUnchanged(plan)) return Failure(StoreCode::LocalFile, plan.name + " changed while stored");
    for (auto& [number, id] : found) stored.mailIds.push_back(id);
    return {};
}

}  // namespace catalog
