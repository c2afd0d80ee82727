#include "mount/store_once.h"

#include <map>

#include "catalog/manifest.h"
#include "catalog/part_mark.h"

namespace mount {

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
        if (found.count(mark.part)) extra.push_back(mail.id);
        else found[mark.part] = mail.id;
    }
    if (!extra.empty()) store.DeleteMails(extra);
    return {};
}

}  // namespace

Outcome StoreOnce(catalog::MailStore& store, Journal& journal, PendingStore& pending, std::uint64_t partSize,
                  const std::function<bool()>& keepGoing, StoredFile& stored) {
    stored = StoredFile();
    catalog::UploadPlan& plan = stored.plan;
    const std::uint64_t size = pending.uploadId.empty() ? partSize : pending.partSize;
    Outcome outcome = catalog::PlanUpload(journal.DataPath(pending), size, {}, plan);
    if (!outcome.Ok()) return outcome;

    std::map<std::uint32_t, std::string> found;
    if (!pending.uploadId.empty() && pending.sha256 == plan.sha256) {
        // An earlier attempt on these very bytes: look for what it stored.
        plan.uploadId = pending.uploadId;
        plan.stored = pending.stored;
        const std::string inbox = store.InboxId();
        if (!inbox.empty() && inbox != pending.folderId) {
            std::map<std::uint32_t, std::string> delivered;
            outcome = FindStoredParts(store, plan, inbox, delivered);
            std::vector<std::string> ids;
            for (auto& [number, id] : delivered) ids.push_back(id);
            if (outcome.Ok() && !ids.empty()) outcome = store.MoveMails(ids, pending.folderId);
            if (!outcome.Ok()) return outcome;
        }
        outcome = FindStoredParts(store, plan, pending.folderId, found);
        if (!outcome.Ok()) return outcome;
    } else {
        pending.partSize = size;
        pending.uploadId = plan.uploadId;
        pending.sha256 = plan.sha256;
        pending.stored = plan.stored;
        if (!journal.Save(pending)) return Failure(StoreCode::LocalFile, "the journal could not be written");
    }

    for (const catalog::UploadPart& part : plan.parts) {
        if (!keepGoing()) return Failure(StoreCode::Cancelled, plan.name);
        if (found.count(part.number)) continue;
        std::string mailId;
        outcome = catalog::StorePlannedPart(
            store, plan, part, pending.folderId, [&](std::uint64_t) { return keepGoing(); }, mailId);
        if (!outcome.Ok()) return outcome;
        found[part.number] = mailId;
    }
    if (!catalog::SourceUnchanged(plan)) return Failure(StoreCode::LocalFile, plan.name + " changed while stored");
    for (auto& [number, id] : found) stored.mailIds.push_back(id);
    return {};
}

}  // namespace mount
