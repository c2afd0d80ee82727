#include "catalog/transfers.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>

#include "catalog/get_resume.h"
#include "catalog/local_name.h"
#include "catalog/parts_pool.h"
#include "catalog/put_resume.h"

namespace catalog {
namespace {

namespace fs = std::filesystem;

// A second put of the same file on this machine waits this long at most for the first.
constexpr std::chrono::hours kLongestHold{12};

std::uint64_t SizeOr0(const fs::path& path) {
    std::error_code error;
    std::uint64_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

// Holds off other runs storing the same files on this machine, in one order
// so that two runs of several files never wait on each other.
Outcome HoldFiles(const TransferSettings& settings, const std::vector<PutJob>& jobs, const std::string& folderId,
                  std::vector<std::shared_ptr<void>>& holds) {
    if (!settings.record) return Success();
    std::map<std::string, std::size_t> keys;
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (jobs[i].planned)
            keys.emplace(folderId + "\n" + jobs[i].plan.name + "\n" + jobs[i].plan.sha256 + "\n" +
                             std::to_string(jobs[i].plan.size),
                         i);
    const auto until = std::chrono::steady_clock::now() + kLongestHold;
    auto keepWaiting = [&] { return !settings.stop.StopRequested() && std::chrono::steady_clock::now() < until; };
    for (const auto& [key, index] : keys) {
        std::shared_ptr<void> hold = settings.record->HoldFile(key, keepWaiting);
        if (settings.stop.StopRequested())
            return Failure(StoreCode::Cancelled, "stopped while another run stored " + jobs[index].plan.name);
        if (hold) holds.push_back(std::move(hold));  // none: nothing held off, the put goes on
    }
    return Success();
}

// One part of a get into its temporary file, recorded for a later run once
// it is there whole.
Outcome FetchJobPart(GetJob& job, const DownloadPart& part, std::mutex& recordLock, MailStore& own, const Moved& moved,
                     const platform::StopToken& stop) {
    if (!job.form) {
        Outcome outcome = FetchPlannedPart(own, part, job.data, nullptr, moved, stop);
        std::lock_guard<std::mutex> lock(recordLock);
        if (outcome.Ok() && !part.sha256.empty()) RecordVerified(job, part.number);
        return outcome;
    }
    const PartWriter write = [&job, &part](std::uint64_t at, const char* data, std::size_t size) {
        return job.form->Write(part, at, data, size);
    };
    // What a form keeps checks itself (a vault's records authenticate), and
    // a resumed run checks a kept part through the form: no digest here.
    DownloadPart unhashed = part;
    unhashed.sha256.clear();
    Outcome outcome = FetchPlannedPart(own, unhashed, write, nullptr, moved, stop);
    std::vector<std::uint32_t> whole;
    job.form->Ended(part, outcome, whole);
    std::lock_guard<std::mutex> lock(recordLock);
    for (std::uint32_t number : whole) RecordVerified(job, number);
    return outcome;
}

}  // namespace

Outcome PutFiles(MailStore& store, const std::vector<fs::path>& sources, const std::string& folderId,
                 const TransferSettings& settings, std::vector<PutReport>& reports) {
    reports.assign(sources.size(), PutReport());
    std::vector<PutJob> jobs(sources.size());
    std::vector<Outcome> failures(sources.size());
    std::uint64_t hashTotal = 0, hashed = 0, total = 0, done = 0;
    for (const fs::path& source : sources) hashTotal += SizeOr0(source);

    bool cancelled = false;
    for (std::size_t i = 0; i < sources.size() && !cancelled; ++i) {
        PutJob& job = jobs[i];
        reports[i].source = sources[i];
        auto hashing = [&](const TransferProgress& p) {
            if (settings.progress)
                settings.progress(
                    {TransferProgress::Phase::Hashing, hashed + p.done, std::max(hashTotal, hashed + p.total)});
        };
        Outcome outcome =
            PlanUpload(sources[i], settings.partSize, hashing, settings.stop, job.plan, settings.storedForm);
        hashed += job.plan.size;
        job.mailIds.assign(job.plan.parts.size(), {});
        reports[i].parts = static_cast<std::uint32_t>(job.plan.parts.size());
        cancelled = StopsEverything(outcome.code);
        failures[i] = outcome;
        job.planned = outcome.Ok();
    }
    std::vector<std::shared_ptr<void>> holds;  // let go when the put ends
    if (!cancelled) {
        Outcome outcome = HoldFiles(settings, jobs, folderId, holds);
        cancelled = !outcome.Ok();
        for (std::size_t i = 0; i < jobs.size() && cancelled; ++i)
            if (jobs[i].planned) failures[i] = outcome, jobs[i].planned = false;
    }
    for (std::size_t i = 0; i < jobs.size() && !cancelled; ++i) {
        PutJob& job = jobs[i];
        if (!job.planned) continue;
        EarlierParts found;
        Outcome outcome = TakeEarlierParts(store, folderId, settings.record, job, found);
        reports[i].alreadyStored = found.kept;
        reports[i].lookAlikes = found.lookAlikes;
        // The id is kept before any part goes under it, so a later run knows the parts for ours.
        if (outcome.Ok() && found.kept < job.plan.parts.size() && settings.record)
            settings.record->Keep(job.plan.uploadId);
        cancelled = StopsEverything(outcome.code);
        if (!outcome.Ok()) {
            failures[i] = outcome;
            job.planned = false;
            continue;
        }
        total += job.plan.size;
        for (const UploadPart& part : job.plan.parts)
            if (!job.mailIds[part.number - 1].empty()) done += part.size;
    }

    std::vector<Unit> units;
    for (std::size_t i = 0; i < jobs.size() && !cancelled; ++i) {
        if (!jobs[i].planned) continue;
        for (const UploadPart& part : jobs[i].plan.parts) {
            if (!jobs[i].mailIds[part.number - 1].empty()) continue;
            PutJob* job = &jobs[i];
            const UploadPart* planned = &part;
            units.push_back(
                {i, [job, planned, &folderId](MailStore& own, const Moved& moved, const platform::StopToken& stop) {
                     return StorePlannedPart(own, job->plan, *planned, folderId, moved, stop,
                                             job->mailIds[planned->number - 1]);
                 }});
        }
    }
    Pool pool(TransferProgress::Phase::Sending, total, done, settings.progress, settings.stop);
    if (!cancelled) pool.Run(store, settings.transfers, units, failures);

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        PutJob& job = jobs[i];
        if (!job.planned) {
            reports[i].outcome = failures[i].Ok() ? Failure(StoreCode::Cancelled, "not started") : failures[i];
            continue;
        }
        if (failures[i].Ok() && !SourceUnchanged(job.plan)) {
            // The parts may not hold what their manifests say: never leave them as a file.
            std::vector<std::string> stored;
            for (const std::string& id : job.mailIds)
                if (!id.empty()) stored.push_back(id);
            store.DeleteMails(stored);
            failures[i] =
                Failure(StoreCode::LocalFile, job.plan.name + " changed while it was being stored; nothing was kept");
        }
        reports[i].outcome = failures[i];
        if (failures[i].Ok()) reports[i].key = job.mailIds.front();
    }
    return FirstFailure(failures);
}

Outcome GetFiles(MailStore& store, const std::vector<GetRequest>& requests, const TransferSettings& settings,
                 std::vector<GetReport>& reports) {
    reports.assign(requests.size(), GetReport());
    std::vector<GetJob> jobs(requests.size());
    std::vector<Outcome> failures(requests.size());
    std::uint64_t total = 0, done = 0;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        GetJob& job = jobs[i];
        FileEntry entry;
        MailText keyMail;
        Outcome outcome = LocateFile(store, requests[i].key, entry, keyMail);
        if (outcome.Ok()) outcome = PlanDownload(store, entry, job.plan);
        if (outcome.Ok() && settings.openedForm) outcome = settings.openedForm(job.plan, job.data, job.form);
        if (outcome.Ok()) outcome = PlanLocalTarget(requests[i].target, job.local);
        for (std::size_t k = 0; k < i && outcome.Ok(); ++k)
            if (jobs[k].local.written == job.local.written)
                outcome = Failure(StoreCode::LocalFile, "the target is also the target of file " + requests[k].key);
        if (outcome.Ok()) outcome = PrepareTemporary(job);
        failures[i] = outcome;
        reports[i].setAside = job.setAside;
        if (!outcome.Ok()) {
            if (StopsEverything(outcome.code)) break;
            continue;
        }
        job.ready = true;
        reports[i].parts = static_cast<std::uint32_t>(job.plan.parts.size());
        total += job.plan.size;
        for (std::size_t k = 0; k < job.kept.size(); ++k) {
            if (!job.kept[k]) continue;
            ++reports[i].alreadyVerified;
            done += job.plan.parts[k].size;
        }
    }

    std::mutex recordLock;
    std::vector<Unit> units;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].ready) continue;
        for (std::size_t k = 0; k < jobs[i].plan.parts.size(); ++k) {
            if (jobs[i].kept[k]) continue;
            GetJob* job = &jobs[i];
            units.push_back(
                {i, [job, k, &recordLock](MailStore& own, const Moved& moved, const platform::StopToken& stop) {
                     return FetchJobPart(*job, job->plan.parts[k], recordLock, own, moved, stop);
                 }});
        }
    }
    Pool pool(TransferProgress::Phase::Receiving, total, done, settings.progress, settings.stop);
    pool.Run(store, settings.transfers, units, failures);

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        GetJob& job = jobs[i];
        if (job.ready && failures[i].Ok()) failures[i] = FinishDownload(job);
        // Bytes that do not check out are not kept for a later run.
        if (job.ready && failures[i].code == StoreCode::Corrupt) DropTemporary(job);
        reports[i].outcome = failures[i];
    }
    return FirstFailure(failures);
}

}  // namespace catalog
