#include "catalog/put_resume.h"

#include <algorithm>
#include <map>

#include "catalog/format_values.h"
#include "catalog/manifest.h"
#include "catalog/part_mark.h"
#include "catalog/sha256.h"

namespace catalog {
namespace {

struct EarlierPart {
    std::string mailId;
    bool inInbox = false;
};

using PartsByNumber = std::map<std::uint32_t, EarlierPart>;

// Whether `mail` holds part `found.part` of the planned file, under any upload id.
bool HoldsPlannedPart(const UploadPlan& plan, const SubjectMark& mark, const Manifest& found) {
    const auto parts = static_cast<std::uint32_t>(plan.parts.size());
    if (found.parts != parts || found.part < 1 || found.part > parts || found.part != mark.part) return false;
    if (parts > 1 && UploadTag(found.uploadId) != mark.tag) return false;
    Manifest expected = plan.ManifestOf(plan.parts[found.part - 1]);
    expected.uploadId = found.uploadId;
    expected.stored = found.stored;
    // A time, not an identity: the same bytes touched since (or copied
    // afresh, as a vault seals them) are still the same upload.
    expected.modified = found.modified;
    return WriteManifest(expected) == WriteManifest(found);
}

// Fetches the part's attachment and compares it with what the plan says.
Outcome BytesMatch(MailStore& store, const std::string& mailId, const UploadPart& part, bool& match) {
    Sha256 digest;
    std::uint64_t got = 0;
    bool tooLong = false;
    Outcome outcome = store.FetchAttachment(mailId, [&](const char* data, std::size_t size) {
        if (size > part.size - got) return tooLong = true, false;
        digest.Update(data, size);
        got += size;
        return true;
    });
    match = false;
    if (tooLong || outcome.code == StoreCode::NotFound) return Success();
    if (!outcome.Ok()) return outcome;
    match = got == part.size && digest.FinishHex() == part.sha256;
    return Success();
}

// Keeps an upload's parts only when all of them are provably ours. One
// look-alike among them means a stranger knows the upload id, and a part
// sent again under it could be confused with the stranger's: none is kept.
Outcome KeepProvenParts(MailStore& store, const UploadPlan& plan, bool recorded, PartsByNumber& parts,
                        std::uint32_t& lookAlikes) {
    std::uint32_t strangers = 0;
    for (const auto& [number, part] : parts) {
        bool ours = recorded || !part.inInbox;
        if (!ours) {
            Outcome outcome = BytesMatch(store, part.mailId, plan.parts[number - 1], ours);
            if (!outcome.Ok()) return outcome;
        }
        strangers += !ours;
    }
    if (strangers > 0) parts.clear();
    lookAlikes += strangers;
    return Success();
}

}  // namespace

Outcome TakeEarlierParts(MailStore& store, const std::string& folderId, UploadRecord* record, PutJob& job,
                         EarlierParts& found) {
    UploadPlan& plan = job.plan;
    found = EarlierParts();
    const auto parts = static_cast<std::uint32_t>(plan.parts.size());
    const std::string inbox = store.InboxId();
    std::vector<std::string> places{folderId};
    if (!inbox.empty() && inbox != folderId) places.push_back(inbox);
    std::map<std::string, PartsByNumber> uploads;  // by upload id
    std::map<std::string, std::int64_t> storedAt;
    std::map<std::string, std::vector<std::string>> copies;  // second copies of a part, by upload id
    // One search of both places; the folder's mails come first, so that a
    // part there wins over its copy in the inbox.
    std::vector<MailInfo> mails;
    Outcome outcome = store.SearchMailsIn(plan.name, places, mails);
    if (!outcome.Ok()) return outcome;
    for (const std::string& place : places) {
        std::vector<const MailInfo*> here;
        for (const MailInfo& mail : mails)
            if (mail.folderId == place) here.push_back(&mail);
        std::sort(here.begin(), here.end(), [](const MailInfo* a, const MailInfo* b) { return IdLess(a->id, b->id); });
        for (const MailInfo* found : here) {
            const MailInfo& mail = *found;
            SubjectMark mark = ReadSubject(mail.subject);
            if (mark.name != plan.name || mark.parts != parts || (mark.kind == SubjectKind::Part) != (parts > 1) ||
                mark.kind == SubjectKind::BadMark)
                continue;
            MailText text;
            outcome = store.ReadMailText(mail.id, text);
            if (outcome.code == StoreCode::NotFound) continue;
            if (!outcome.Ok()) return outcome;
            Manifest manifest;
            std::string problem;
            if (ReadManifest(text.text, manifest, problem) != ManifestRead::Ok ||
                !HoldsPlannedPart(plan, mark, manifest))
                continue;
            // The inbox is where anyone's mail lands, the folder's own mails included when it is the inbox.
            const bool inInbox = place == inbox;
            if (!uploads[manifest.uploadId].emplace(manifest.part, EarlierPart{mail.id, inInbox}).second)
                copies[manifest.uploadId].push_back(mail.id);
            storedAt[manifest.uploadId] = manifest.stored;
        }
    }
    for (auto& [uploadId, byNumber] : uploads) {
        const bool recorded = record && record->Holds(uploadId);
        Outcome outcome = KeepProvenParts(store, plan, recorded, byNumber, found.lookAlikes);
        if (!outcome.Ok()) return outcome;
        if (!recorded) copies[uploadId].clear();  // a look-alike's copies are not ours to move
    }
    auto inFolder = [](const PartsByNumber& byNumber) {
        return std::count_if(byNumber.begin(), byNumber.end(), [](const auto& part) { return !part.second.inInbox; });
    };
    auto best = std::max_element(uploads.begin(), uploads.end(), [&](const auto& a, const auto& b) {
        if (a.second.size() != b.second.size()) return a.second.size() < b.second.size();
        return inFolder(a.second) < inFolder(b.second);
    });
    if (best == uploads.end() || best->second.empty()) return Success();
    plan.uploadId = best->first;
    plan.stored = storedAt[best->first];
    // A delivery of an interrupted run that landed late is a second copy of its part: to the trash.
    if (!copies[best->first].empty()) store.DeleteMails(copies[best->first]);
    std::vector<std::string> toMove;
    for (const auto& [number, part] : best->second)
        if (part.inInbox) toMove.push_back(part.mailId);
    if (!toMove.empty() && folderId != inbox) {
        Outcome outcome = store.MoveMails(toMove, folderId);
        if (!outcome.Ok()) return outcome;
    }
    for (const auto& [number, part] : best->second) job.mailIds[number - 1] = part.mailId;
    found.kept = static_cast<std::uint32_t>(best->second.size());
    return Success();
}

}  // namespace catalog
