#include "catalog/writeback_store.h"

#include <algorithm>
#include <chrono>

#include "catalog/format_values.h"
#include "catalog/manifest.h"
#include "catalog/part_mark.h"
#include "catalog/parts_pool.h"
#include "catalog/put_resume.h"

namespace catalog {
namespace {

// The journal is this store's record of upload ids: the entry's id was
// written before any part left under it, so a part found under it is ours.
class EntryRecord : public UploadRecord {
public:
    explicit EntryRecord(const PendingStore& pending) : pending_(pending) {}
    bool Keep(const std::string& uploadId) override { return uploadId == pending_.uploadId; }
    bool Holds(const std::string& uploadId) override { return !uploadId.empty() && uploadId == pending_.uploadId; }
    // One write-back entry is stored by one worker at a time already.
    std::shared_ptr<void> HoldFile(const std::string&, const std::function<bool()>&) override { return nullptr; }

private:
    const PendingStore& pending_;
};

// Trashes what an earlier attempt stored of other bytes under this name
// (the file changed before that attempt was done), from the folder and the
// inbox, so that it does not stay behind as an incomplete file.
Outcome TrashEarlierUpload(MailStore& store, const std::string& name, const std::string& folderId,
                           const std::string& uploadId) {
    std::vector<std::string> earlier, folders = {folderId};
    if (!store.InboxId().empty() && store.InboxId() != folderId) folders.push_back(store.InboxId());
    for (const std::string& folder : folders) {
        std::vector<MailInfo> mails;
        Outcome outcome = store.SearchMails(name, folder, mails);
        if (!outcome.Ok()) return outcome;
        for (const MailInfo& mail : mails) {
            SubjectMark mark = ReadSubject(mail.subject);
            if (mark.name != name || (!mark.tag.empty() && mark.tag != UploadTag(uploadId))) continue;
            MailText text;
            Manifest manifest;
            std::string problem;
            if (store.ReadMailText(mail.id, text).Ok() &&
                ReadManifest(text.text, manifest, problem) == ManifestRead::Ok && manifest.uploadId == uploadId)
                earlier.push_back(mail.id);
        }
    }
    return earlier.empty() ? Outcome{} : store.DeleteMails(earlier);
}

// The data file takes the time set through the drive, so that the plan
// (and the manifest it writes) carries it. Half a second past the whole
// second keeps a clock's rounding from moving it to a neighbouring second.
void StampModified(const std::filesystem::path& data, std::int64_t modifiedNs) {
    using namespace std::chrono;
    using FileClock = std::filesystem::file_time_type::clock;
    if (modifiedNs <= 0) return;
    const nanoseconds wanted = seconds(modifiedNs / 1000000000) + milliseconds(500);
    const nanoseconds fromNow = wanted - duration_cast<nanoseconds>(system_clock::now().time_since_epoch());
    std::error_code error;
    std::filesystem::last_write_time(data, FileClock::now() + duration_cast<FileClock::duration>(fromNow), error);
}

}  // namespace

Outcome StoreOnce(const StoreRunner& run, Journal& journal, PendingStore& pending, std::uint64_t partSize,
                  const std::function<bool()>& keepGoing, unsigned parallel, StoredFile& stored,
                  const StoredFormOf& form) {
    const std::filesystem::path data = journal.DataPath(pending);
    stored = StoredFile();
    PutJob job;
    UploadPlan& plan = job.plan;
    const bool earlier = !pending.uploadId.empty();
    // An earlier attempt's part size, so that its parts line up with this plan's.
    const std::uint64_t size = earlier && pending.partSize ? pending.partSize : partSize;
    StampModified(data, pending.modifiedNs);
    // The caller's keepGoing, heard through the one stop every part listens to.
    platform::StopSource stop;
    Outcome outcome = PlanUpload(data, size, {}, stop.Token(), plan, form);
    if (!outcome.Ok()) return outcome;
    job.mailIds.assign(plan.parts.size(), {});

    if (earlier && pending.sha256 != plan.sha256) {
        // The bytes changed since an earlier attempt began: what it stored is not this file.
        outcome = run(
            [&](MailStore& store) { return TrashEarlierUpload(store, plan.name, pending.folderId, pending.uploadId); });
        if (!outcome.Ok()) return outcome;
    }
    EntryRecord record(pending);
    EarlierParts found;
    outcome = run([&](MailStore& store) {
        std::fill(job.mailIds.begin(), job.mailIds.end(), std::string());
        return TakeEarlierParts(store, pending.folderId, &record, job, found);
    });
    if (!outcome.Ok()) return outcome;
    if (pending.uploadId != plan.uploadId || pending.sha256 != plan.sha256) {
        // Written to the journal before a part leaves under it, so a later run knows the parts for ours.
        pending.partSize = size;
        pending.uploadId = plan.uploadId;
        pending.sha256 = plan.sha256;
        pending.stored = plan.stored;
        if (!journal.Save(pending)) return Failure(StoreCode::LocalFile, "the journal could not be written");
    }

    std::vector<Unit> units;
    for (const UploadPart& part : plan.parts) {
        if (!job.mailIds[part.number - 1].empty()) continue;
        const UploadPart* planned = &part;
        units.push_back(
            {0, [&job, planned, &pending](MailStore& own, const Moved& moved, const platform::StopToken& partStop) {
                 return StorePlannedPart(own, job.plan, *planned, pending.folderId, moved, partStop,
                                         job.mailIds[planned->number - 1]);
             }});
    }
    std::vector<Outcome> failures(1);
    const ProgressCallback still = [&keepGoing, &stop](const TransferProgress&) {
        if (!keepGoing()) stop.RequestStop();
    };
    if (!keepGoing()) stop.RequestStop();
    Pool pool(TransferProgress::Phase::Sending, plan.size, 0, still, stop.Token());
    if (!units.empty()) {
        outcome = run([&](MailStore& store) {
            pool.Run(store, parallel, units, failures);
            return failures[0];
        });
        if (!outcome.Ok()) return outcome;
    }
    if (!SourceUnchanged(plan)) return Failure(StoreCode::LocalFile, plan.name + " changed while stored");
    stored.plan = plan;
    stored.mailIds = job.mailIds;
    return {};
}

}  // namespace catalog
