#include "catalog/transfers.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "catalog/download.h"
#include "catalog/format_values.h"
#include "catalog/manifest.h"
#include "catalog/part_mark.h"
#include "catalog/sha256.h"
#include "catalog/upload.h"

namespace catalog {
namespace {

namespace fs = std::filesystem;

using Moved = std::function<bool(std::uint64_t bytes)>;

// One part's work, on whichever worker's store takes it; `moved` gets the
// part's bytes so far and returns false to cancel.
struct Unit {
    std::size_t file = 0;
    std::function<Outcome(MailStore& store, const Moved& moved)> run;
};

bool StopsEverything(StoreCode code) {
    return code == StoreCode::QuotaDaily || code == StoreCode::Cancelled || code == StoreCode::Unreachable;
}

// Runs units on up to N workers and adds up their bytes for the progress
// callback, which it calls under a lock (from whichever worker moved).
class Pool {
public:
    Pool(TransferProgress::Phase phase, std::uint64_t total, std::uint64_t done, const ProgressCallback& progress)
        : phase_(phase), total_(total), done_(done), progress_(progress) {}

    // failures[unit.file] gets the first failure of each file; a file that
    // failed runs no further units.
    void Run(MailStore& store, unsigned transfers, const std::vector<Unit>& units, std::vector<Outcome>& failures) {
        std::vector<char> ran(units.size(), 0);
        std::atomic<std::size_t> next{0};
        auto work = [&](MailStore& own) {
            for (std::size_t i; (i = next++) < units.size() && !stopped_;) {
                const Unit& unit = units[i];
                {
                    std::lock_guard<std::mutex> lock(lock_);
                    ran[i] = 1;
                    if (!failures[unit.file].Ok()) continue;
                }
                std::uint64_t last = 0;
                Outcome outcome = unit.run(own, [&](std::uint64_t bytes) {
                    done_ += bytes - last;  // a part sent again starts from 0
                    last = bytes;
                    return Report();
                });
                if (outcome.Ok()) continue;
                done_ -= last;
                std::lock_guard<std::mutex> lock(lock_);
                if (failures[unit.file].Ok()) failures[unit.file] = outcome;
                if (StopsEverything(outcome.code) && !stopped_) stopOutcome_ = outcome, stopped_ = true;
            }
        };
        std::vector<std::unique_ptr<MailStore>> forks;
        const std::size_t workers = std::min<std::size_t>(std::max(1u, transfers), units.size());
        while (forks.size() + 1 < workers) {
            std::unique_ptr<MailStore> fork;
            if (!store.Fork(fork).Ok() || !fork) break;  // fewer workers, same result
            forks.push_back(std::move(fork));
        }
        std::vector<std::thread> threads;
        for (auto& fork : forks) {
            try {
                threads.emplace_back(work, std::ref(*fork));
            } catch (const std::system_error&) {
                break;
            }
        }
        work(store);
        for (std::thread& thread : threads) thread.join();
        for (std::size_t i = 0; i < units.size(); ++i)
            if (!ran[i] && failures[units[i].file].Ok()) failures[units[i].file] = stopOutcome_;
    }

    bool Report() {
        if (!progress_) return !stopped_;
        std::lock_guard<std::mutex> lock(reportLock_);
        if (!progress_({phase_, done_.load(), total_})) {
            std::lock_guard<std::mutex> stop(lock_);
            if (!stopped_) stopOutcome_ = Failure(StoreCode::Cancelled, "stopped on request"), stopped_ = true;
        }
        return !stopped_;
    }

private:
    const TransferProgress::Phase phase_;
    const std::uint64_t total_;
    std::atomic<std::uint64_t> done_;
    const ProgressCallback& progress_;
    std::mutex lock_, reportLock_;
    std::atomic<bool> stopped_{false};
    Outcome stopOutcome_;
};

Outcome FirstFailure(const std::vector<Outcome>& outcomes) {
    for (const Outcome& outcome : outcomes)
        if (!outcome.Ok()) return outcome;
    return Success();
}

// ---- put

struct PutJob {
    UploadPlan plan;
    std::vector<std::string> mailIds;  // by part number - 1; empty until stored
    bool planned = false;
};

struct EarlierPart {
    std::string mailId;
    bool inInbox = false;
};

// Whether `mail` holds part `found.part` of the planned file, under any upload id.
bool HoldsPlannedPart(const UploadPlan& plan, const SubjectMark& mark, const Manifest& found) {
    const auto parts = static_cast<std::uint32_t>(plan.parts.size());
    if (found.parts != parts || found.part < 1 || found.part > parts || found.part != mark.part) return false;
    if (parts > 1 && UploadTag(found.uploadId) != mark.tag) return false;
    Manifest expected = plan.ManifestOf(plan.parts[found.part - 1]);
    expected.uploadId = found.uploadId;
    expected.stored = found.stored;
    return WriteManifest(expected) == WriteManifest(found);
}

// The parts an earlier run stored of the planned file, in the folder or
// still in the inbox: the upload with the most of them wins, its id and
// time go into the plan, its inbox parts are moved into the folder, and
// second copies of its parts go to the trash.
Outcome TakeEarlierParts(MailStore& store, const std::string& folderId, PutJob& job, std::uint32_t& found) {
    UploadPlan& plan = job.plan;
    const auto parts = static_cast<std::uint32_t>(plan.parts.size());
    std::vector<std::string> places{folderId};
    if (!store.InboxId().empty() && store.InboxId() != folderId) places.push_back(store.InboxId());
    std::map<std::string, std::map<std::uint32_t, EarlierPart>> uploads;  // by upload id, by part
    std::map<std::string, std::int64_t> storedAt;
    std::map<std::string, std::vector<std::string>> copies;  // second copies of a part, by upload id
    for (const std::string& place : places) {
        std::vector<MailInfo> mails;
        Outcome outcome = store.SearchMails(plan.name, place, mails);
        if (!outcome.Ok()) return outcome;
        std::sort(mails.begin(), mails.end(), [](const MailInfo& a, const MailInfo& b) { return IdLess(a.id, b.id); });
        for (const MailInfo& mail : mails) {
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
            if (!uploads[manifest.uploadId].emplace(manifest.part, EarlierPart{mail.id, place != folderId}).second)
                copies[manifest.uploadId].push_back(mail.id);
            storedAt[manifest.uploadId] = manifest.stored;
        }
    }
    found = 0;
    if (uploads.empty()) return Success();
    auto inFolder = [](const std::map<std::uint32_t, EarlierPart>& parts) {
        return std::count_if(parts.begin(), parts.end(), [](const auto& part) { return !part.second.inInbox; });
    };
    auto best = std::max_element(uploads.begin(), uploads.end(), [&](const auto& a, const auto& b) {
        if (a.second.size() != b.second.size()) return a.second.size() < b.second.size();
        return inFolder(a.second) < inFolder(b.second);
    });
    plan.uploadId = best->first;
    plan.stored = storedAt[best->first];
    // A delivery of an interrupted run that landed late is a second copy of its part: to the trash.
    if (!copies[best->first].empty()) store.DeleteMails(copies[best->first]);
    std::vector<std::string> toMove;
    for (const auto& [number, part] : best->second) {
        if (part.inInbox) toMove.push_back(part.mailId);
    }
    if (!toMove.empty()) {
        Outcome outcome = store.MoveMails(toMove, folderId);
        if (!outcome.Ok()) return outcome;
    }
    for (const auto& [number, part] : best->second) job.mailIds[number - 1] = part.mailId;
    found = static_cast<std::uint32_t>(best->second.size());
    return Success();
}

std::uint64_t SizeOr0(const fs::path& path) {
    std::error_code error;
    std::uint64_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

// ---- get

struct GetJob {
    DownloadPlan plan;
    fs::path written, temporary, record;
    std::vector<char> kept;  // by part number - 1: verified by an earlier run
    bool ready = false;
};

std::string RecordHead(const DownloadPlan& plan) {
    return "vantlo-partial: 1\nfile: " + plan.sha256 + " " + std::to_string(plan.size) + " " +
           std::to_string(plan.parts.size()) + "\n";
}

bool Resumable(const DownloadPlan& plan) {
    return !plan.sha256.empty() &&
           std::none_of(plan.parts.begin(), plan.parts.end(), [](const DownloadPart& p) { return p.sha256.empty(); });
}

bool RangeMatches(std::ifstream& data, const DownloadPart& part) {
    std::vector<char> buffer(1 << 20);
    Sha256 digest;
    data.clear();
    if (!data.seekg(static_cast<std::streamoff>(part.offset))) return false;
    for (std::uint64_t left = part.size; left > 0;) {
        auto want = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        if (!data.read(buffer.data(), static_cast<std::streamsize>(want))) return false;
        digest.Update(buffer.data(), want);
        left -= want;
    }
    return digest.FinishHex() == part.sha256;
}

// Marks the parts the record names whose bytes in the temporary file still
// match their SHA-256.
void ReadKeptParts(GetJob& job) {
    job.kept.assign(job.plan.parts.size(), 0);
    if (!Resumable(job.plan) || SizeOr0(job.temporary) != job.plan.size) return;
    std::ifstream record(job.record, std::ios::binary);
    std::string head(RecordHead(job.plan).size(), '\0');
    if (!record.read(&head[0], static_cast<std::streamsize>(head.size())) || head != RecordHead(job.plan)) return;
    std::ifstream data(job.temporary, std::ios::binary);
    std::string line;
    for (std::size_t lines = 0; lines < job.plan.parts.size() * 2 && std::getline(record, line); ++lines) {
        std::uint64_t number = 0;
        if (line.rfind("part: ", 0) != 0 || !ParseDecimal(line.substr(6), job.plan.parts.size(), number) ||
            number == 0 || job.kept[number - 1])
            continue;
        job.kept[number - 1] = RangeMatches(data, job.plan.parts[number - 1]);
    }
}

// The temporary file and its record as a resumed or a fresh run finds them.
Outcome PrepareTemporary(GetJob& job) {
    ReadKeptParts(job);
    const bool resuming = std::count(job.kept.begin(), job.kept.end(), 1) > 0;
    std::error_code error;
    if (!resuming) {
        if (!std::ofstream(job.temporary, std::ios::binary | std::ios::trunc))
            return Failure(StoreCode::LocalFile, "the temporary file beside the target could not be created");
        fs::resize_file(job.temporary, job.plan.size, error);
        if (error) return Failure(StoreCode::LocalFile, "the temporary file could not be sized: " + error.message());
    }
    std::ofstream record(job.record, std::ios::binary | std::ios::trunc);
    record << RecordHead(job.plan);
    for (std::size_t i = 0; i < job.kept.size(); ++i)
        if (job.kept[i]) record << "part: " << i + 1 << '\n';
    if (!record.flush()) fs::remove(job.record, error);  // no record: the next run starts over
    return Success();
}

Outcome FinishDownload(GetJob& job) {
    std::error_code error;
    if (!job.plan.sha256.empty()) {
        std::ifstream data(job.temporary, std::ios::binary);
        DownloadPart whole{1, 1, {}, 0, job.plan.size, job.plan.sha256};
        if (!RangeMatches(data, whole))
            return Failure(StoreCode::Corrupt, job.plan.name + " as put together does not match its SHA-256");
    }
    // The new file keeps the mode of the one it replaces.
    fs::file_status existing = fs::status(job.written, error);
    if (!error && fs::exists(existing)) fs::permissions(job.temporary, existing.permissions(), error);
    fs::rename(job.temporary, job.written, error);
    if (error) return Failure(StoreCode::LocalFile, "the target could not be replaced: " + error.message());
    fs::remove(job.record, error);
    return Success();
}

}  // namespace

fs::path VerifiedRecordPath(const fs::path& temporary) {
    fs::path record = temporary;
    record += ".verified";
    return record;
}

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
            return !settings.progress || settings.progress({TransferProgress::Phase::Hashing, hashed + p.done,
                                                            std::max(hashTotal, hashed + p.total)});
        };
        Outcome outcome = PlanUpload(sources[i], settings.partSize, hashing, job.plan);
        hashed += job.plan.size;
        job.mailIds.assign(job.plan.parts.size(), {});
        if (outcome.Ok()) outcome = TakeEarlierParts(store, folderId, job, reports[i].alreadyStored);
        reports[i].parts = static_cast<std::uint32_t>(job.plan.parts.size());
        cancelled = outcome.code == StoreCode::Cancelled || StopsEverything(outcome.code);
        if (!outcome.Ok()) {
            failures[i] = outcome;
            continue;
        }
        job.planned = true;
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
            units.push_back({i, [job, planned, &folderId](MailStore& own, const Moved& moved) {
                                 return StorePlannedPart(own, job->plan, *planned, folderId, moved,
                                                         job->mailIds[planned->number - 1]);
                             }});
        }
    }
    Pool pool(TransferProgress::Phase::Sending, total, done, settings.progress);
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
        job.temporary = TemporaryPathFor(requests[i].target);
        job.record = VerifiedRecordPath(job.temporary);
        job.written = job.temporary;
        job.written.replace_extension();  // the file the temporary one replaces (links followed)
        std::error_code error;
        if (outcome.Ok() && fs::is_directory(job.written, error))
            outcome = Failure(StoreCode::LocalFile, "the target is a directory");
        if (outcome.Ok()) outcome = PrepareTemporary(job);
        failures[i] = outcome;
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
            units.push_back({i, [job, k, &recordLock](MailStore& own, const Moved& moved) {
                                 const DownloadPart& part = job->plan.parts[k];
                                 Outcome outcome = FetchPlannedPart(own, part, job->temporary, nullptr, moved);
                                 if (outcome.Ok() && !part.sha256.empty()) {
                                     std::lock_guard<std::mutex> lock(recordLock);
                                     std::ofstream(job->record, std::ios::binary | std::ios::app)
                                         << "part: " << part.number << '\n';
                                 }
                                 return outcome;
                             }});
        }
    }
    Pool pool(TransferProgress::Phase::Receiving, total, done, settings.progress);
    pool.Run(store, settings.transfers, units, failures);

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        GetJob& job = jobs[i];
        if (job.ready && failures[i].Ok()) failures[i] = FinishDownload(job);
        // Bytes that do not check out are not kept for a later run.
        if (job.ready && failures[i].code == StoreCode::Corrupt) {
            std::error_code error;
            fs::remove(job.temporary, error);
            fs::remove(job.record, error);
        }
        reports[i].outcome = failures[i];
    }
    return FirstFailure(failures);
}

}  // namespace catalog
