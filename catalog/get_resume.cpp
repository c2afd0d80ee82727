#include "catalog/get_resume.h"

#include <algorithm>
#include <sstream>
#include <system_error>

#include "catalog/format_values.h"
#include "catalog/sync_times.h"

namespace catalog {
namespace {

namespace fs = std::filesystem;

// A record names each part at most once: its head and a short line per part.
constexpr std::size_t kRecordLineLimit = 32;

std::string RecordHead(const DownloadPlan& plan) {
    return "vantlo-partial: 1\nfile: " + plan.sha256 + " " + std::to_string(plan.size) + " " +
           std::to_string(plan.parts.size()) + "\n";
}

std::uint64_t TemporarySize(const GetJob& job) {
    return job.form ? job.form->TemporarySize() : job.plan.size;
}

bool Resumable(const DownloadPlan& plan) {
    return !plan.sha256.empty() &&
           std::none_of(plan.parts.begin(), plan.parts.end(), [](const DownloadPart& p) { return p.sha256.empty(); });
}

// Marks the parts the record names whose bytes in the temporary file still
// match their SHA-256.
void ReadKeptParts(GetJob& job) {
    const std::string head = RecordHead(job.plan);
    std::string text;
    std::uint64_t size = 0;
    if (!job.data.Size(size) || size != TemporarySize(job) ||
        !ReadOwnFile(job.local.record, head.size() + job.plan.parts.size() * kRecordLineLimit, text) ||
        text.compare(0, head.size(), head) != 0)
        return;
    std::istringstream lines(text.substr(head.size()));
    std::string line;
    while (std::getline(lines, line)) {
        std::uint64_t number = 0;
        if (line.rfind("part: ", 0) != 0 || !ParseDecimal(line.substr(6), job.plan.parts.size(), number) ||
            number == 0 || job.kept[number - 1])
            continue;
        const DownloadPart& part = job.plan.parts[number - 1];
        job.kept[number - 1] =
            job.form ? job.form->Kept(part) : RangeMatches(job.data, part.offset, part.size, part.sha256);
    }
}

}  // namespace

Outcome PrepareTemporary(GetJob& job) {
    job.kept.assign(job.plan.parts.size(), 0);
    Outcome outcome = SetAsideForeign(job.local.temporary, job.setAside);
    if (outcome.Ok()) outcome = SetAsideForeign(job.local.record, job.setAside);
    if (!outcome.Ok()) return outcome;
    const unsigned mode = job.local.mode | 0600;  // we write it until the end
    if (Resumable(job.plan) && platform::InspectEntry(job.local.temporary) == platform::EntryKind::OwnRegularFile &&
        OpenOwnFile(job.local.temporary, mode, false, job.data).Ok())
        ReadKeptParts(job);
    const bool resuming = std::count(job.kept.begin(), job.kept.end(), 1) > 0;
    if (!resuming) {
        outcome = job.data.IsOpen() ? (job.data.Resize(0) ? Success() : Failure(StoreCode::LocalFile, ""))
                                    : OpenOwnFile(job.local.temporary, mode, true, job.data);
        if (!outcome.Ok())
            return Failure(StoreCode::LocalFile, "the temporary file beside the target could not be created" +
                                                     (outcome.detail.empty() ? "" : ": " + outcome.detail));
        if (!job.data.Resize(TemporarySize(job)))
            return Failure(StoreCode::LocalFile, "the temporary file could not be sized");
    }
    std::string head = RecordHead(job.plan);
    for (std::size_t i = 0; i < job.kept.size(); ++i)
        if (job.kept[i]) head += "part: " + std::to_string(i + 1) + "\n";
    if (!OpenOwnFile(job.local.record, 0600, true, job.record).Ok() ||
        !job.record.WriteAt(0, head.data(), head.size())) {
        job.record.Close();
        std::error_code error;
        if (platform::InspectEntry(job.local.record) == platform::EntryKind::OwnRegularFile)
            fs::remove(job.local.record, error);  // no record: the next run starts over
    }
    job.recordEnd = head.size();
    return Success();
}

void RecordVerified(GetJob& job, std::uint32_t number) {
    if (!job.record.IsOpen()) return;
    const std::string line = "part: " + std::to_string(number) + "\n";
    if (job.record.WriteAt(job.recordEnd, line.data(), line.size())) job.recordEnd += line.size();
}

Outcome FinishDownload(GetJob& job) {
    if (job.form) {
        if (Outcome finished = job.form->Finish(); !finished.Ok()) return finished;
    } else if (!job.plan.sha256.empty() && !RangeMatches(job.data, 0, job.plan.size, job.plan.sha256)) {
        return Failure(StoreCode::Corrupt, job.plan.name + " as put together does not match its SHA-256");
    }
    Outcome outcome = ReplaceTarget(job.local, job.data);
    if (!outcome.Ok()) return outcome;
    KeepStoredTime(job.local.written, job.plan.modified);
    job.record.Close();
    std::error_code error;
    fs::remove(job.local.record, error);
    return Success();
}

void DropTemporary(GetJob& job) {
    job.data.Close();
    job.record.Close();
    std::error_code error;
    fs::remove(job.local.temporary, error);
    fs::remove(job.local.record, error);
}

}  // namespace catalog
