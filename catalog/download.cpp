#include "catalog/download.h"

#include <system_error>

#include "catalog/format_values.h"
#include "catalog/local_target.h"
#include "catalog/manifest.h"
#include "catalog/sync_times.h"

namespace catalog {
namespace {

namespace fs = std::filesystem;

std::string PartLabel(std::uint32_t number, std::uint32_t parts, const std::string& mailId) {
    if (parts == 1) return "mail " + mailId;
    return "part " + std::to_string(number) + " of " + std::to_string(parts) + " (mail " + mailId + ")";
}

// A file of one mail: its manifest when it has one, else its attachment's length.
Outcome PlanSingle(MailStore& store, const FileEntry& entry, DownloadPlan& plan) {
    const std::string& mailId = entry.present.front().mailId;
    MailText mail;
    Outcome outcome = store.ReadMailText(mailId, mail);
    if (!outcome.Ok()) return outcome;
    Manifest manifest;
    std::string problem;
    switch (ReadManifest(mail.text, manifest, problem)) {
    case ManifestRead::Malformed:
        return Failure(StoreCode::Corrupt, "the manifest of mail " + mailId + " is damaged: " + problem);
    case ManifestRead::Ok:
        if (manifest.parts != 1)
            return Failure(StoreCode::Corrupt, "mail " + mailId + " holds " +
                                                   PartLabel(manifest.part, manifest.parts, mailId) + " of " +
                                                   manifest.name + " but its subject has no part mark");
        plan.size = manifest.size;
        plan.sha256 = manifest.sha256;
        plan.modified = manifest.modified;
        plan.parts.push_back({1, 1, mailId, 0, manifest.size, manifest.partSha256});
        return Success();
    case ManifestRead::NotManifest:
    case ManifestRead::UnknownVersion: break;
    }
    if (mail.attachments.empty()) return Failure(StoreCode::NotFound, "mail " + mailId + " has no attachment");
    plan.size = mail.attachments.front().length;
    plan.parts.push_back({1, 1, mailId, 0, plan.size, {}});
    return Success();
}

// What keeps `part`'s manifest from belonging with the first part's; empty when it does.
std::string Disagreement(const Manifest& first, const Manifest& part, const FileEntry& entry, std::uint32_t number,
                         std::uint64_t expectedOffset) {
    if (part.name != entry.name || part.name != first.name) return "its name differs";
    if (part.parts != entry.parts || part.part != number) return "its part number differs from its subject's";
    if (UploadTag(part.uploadId) != entry.tag || part.uploadId != first.uploadId) return "it is from another upload";
    if (part.size != first.size || part.sha256 != first.sha256) return "it describes another file";
    if (part.offset != expectedOffset) return "its offset leaves a gap or an overlap";
    return {};
}

// The file a target names once its symbolic links are followed (a link to
// a file not there yet names that file): the file that is replaced, so a
// link stays a link.
fs::path FollowLinks(fs::path path) {
    std::error_code error;
    for (int hop = 0; hop < 40 && fs::is_symlink(path, error); ++hop) {
        fs::path next = fs::read_symlink(path, error);
        if (error) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

}  // namespace

Outcome PlanDownload(MailStore& store, const FileEntry& entry, DownloadPlan& plan) {
    plan = DownloadPlan();
    plan.name = entry.name;
    if (!entry.Whole()) return Failure(StoreCode::Corrupt, entry.name + " is incomplete: " + entry.Problems());
    if (entry.parts == 1) return PlanSingle(store, entry, plan);

    Manifest first;
    std::uint64_t offset = 0;
    for (const FilePart& part : entry.present) {
        const std::string label = PartLabel(part.number, entry.parts, part.mailId);
        MailText mail;
        Outcome outcome = store.ReadMailText(part.mailId, mail);
        if (!outcome.Ok()) return Failure(outcome.code, label + ": " + outcome.detail);
        Manifest manifest;
        std::string problem;
        if (ReadManifest(mail.text, manifest, problem) != ManifestRead::Ok)
            return Failure(StoreCode::Corrupt,
                           label + " carries no valid manifest" + (problem.empty() ? "" : ": ") + problem);
        if (part.number == 1) first = manifest;
        std::string disagreement = Disagreement(first, manifest, entry, part.number, offset);
        if (!disagreement.empty()) return Failure(StoreCode::Corrupt, label + " does not fit: " + disagreement);
        plan.parts.push_back({part.number, entry.parts, part.mailId, offset, manifest.partSize, manifest.partSha256});
        offset += manifest.partSize;
    }
    if (offset != first.size)
        return Failure(StoreCode::Corrupt, "the parts of " + entry.name + " do not add up to its size");
    plan.size = first.size;
    plan.sha256 = first.sha256;
    plan.modified = first.modified;
    return Success();
}

fs::path TemporaryPathFor(const fs::path& target) {
    fs::path temporary = FollowLinks(target);
    temporary += ".vantlo-partial";
    return temporary;
}

Outcome FetchPlannedPart(MailStore& store, const DownloadPart& part, const PartWriter& write, Sha256* inOrder,
                         const std::function<void(std::uint64_t received)>& received, const platform::StopToken& stop) {
    const std::string label = PartLabel(part.number, part.parts, part.mailId);
    enum class Ended { Whole, TooLong, WriteFailed, Cancelled } ended = Ended::Whole;
    Outcome written;
    Sha256 digest;
    std::uint64_t got = 0;
    Outcome outcome = store.FetchAttachment(part.mailId, [&](const char* data, std::size_t size) {
        if (size > part.size - got) return ended = Ended::TooLong, false;
        if (written = write(got, data, size); !written.Ok()) return ended = Ended::WriteFailed, false;
        if (!part.sha256.empty()) digest.Update(data, size);
        if (inOrder) inOrder->Update(data, size);
        got += size;
        if (received) received(got);
        if (stop.StopRequested()) return ended = Ended::Cancelled, false;
        return true;
    });
    switch (ended) {
    case Ended::TooLong: return Failure(StoreCode::Corrupt, label + " holds more bytes than its manifest says");
    case Ended::WriteFailed: return Failure(written.code, label + ": " + written.detail);
    case Ended::Cancelled: return Failure(StoreCode::Cancelled, label);
    case Ended::Whole: break;
    }
    if (!outcome.Ok()) return Failure(outcome.code, label + (outcome.detail.empty() ? "" : ": " + outcome.detail));
    if (got != part.size)
        return Failure(StoreCode::Corrupt,
                       label + " ended after " + std::to_string(got) + " of " + std::to_string(part.size) + " bytes");
    if (!part.sha256.empty() && digest.FinishHex() != part.sha256)
        return Failure(StoreCode::Corrupt, label + " does not match its SHA-256");
    return Success();
}

Outcome FetchPlannedPart(MailStore& store, const DownloadPart& part, platform::LocalFile& temporary, Sha256* inOrder,
                         const std::function<void(std::uint64_t received)>& received, const platform::StopToken& stop) {
    const PartWriter write = [&](std::uint64_t at, const char* data, std::size_t size) {
        return temporary.WriteAt(part.offset + at, data, size)
                   ? Success()
                   : Failure(StoreCode::LocalFile, "the temporary file could not be written");
    };
    return FetchPlannedPart(store, part, write, inOrder, received, stop);
}

Outcome FetchPlannedPart(MailStore& store, const DownloadPart& part, const fs::path& temporary, Sha256* inOrder,
                         const std::function<void(std::uint64_t received)>& received, const platform::StopToken& stop) {
    platform::LocalFile file;
    std::string error;
    if (!file.OpenExisting(temporary, error))
        return Failure(StoreCode::LocalFile, "the temporary file could not be opened: " + error);
    Outcome outcome = FetchPlannedPart(store, part, file, inOrder, received, stop);
    if (outcome.Ok() && !file.Close()) return Failure(StoreCode::LocalFile, "the temporary file could not be written");
    return outcome;
}

Outcome GetFile(MailStore& store, const std::string& key, const fs::path& target, const GetOptions& options) {
    FileEntry entry;
    MailText keyMail;
    Outcome outcome = LocateFile(store, key, entry, keyMail);
    DownloadPlan plan;
    if (outcome.Ok()) outcome = PlanDownload(store, entry, plan);
    if (!outcome.Ok()) return outcome;
    LocalTarget local;
    std::vector<fs::path> setAside;
    platform::LocalFile temporary;
    outcome = PlanLocalTarget(target, local);
    if (outcome.Ok()) outcome = SetAsideForeign(local.temporary, setAside);
    if (outcome.Ok()) outcome = OpenOwnFile(local.temporary, local.mode | 0600, true, temporary);
    if (!outcome.Ok()) return outcome;
    Sha256 whole;
    std::uint64_t done = 0;
    for (const DownloadPart& part : plan.parts) {
        outcome = FetchPlannedPart(
            store, part, temporary, &whole,
            [&](std::uint64_t received) {
                if (options.progress)
                    options.progress({TransferProgress::Phase::Receiving, done + received, plan.size});
            },
            options.stop);
        if (!outcome.Ok()) break;
        done += part.size;
    }
    if (outcome.Ok() && !plan.sha256.empty() && whole.FinishHex() != plan.sha256)
        outcome = Failure(StoreCode::Corrupt, plan.name + " as put together does not match its SHA-256");
    if (outcome.Ok()) outcome = ReplaceTarget(local, temporary);
    if (outcome.Ok()) KeepStoredTime(local.written, plan.modified);
    if (!outcome.Ok()) {
        temporary.Close();
        std::error_code error;
        fs::remove(local.temporary, error);  // ours: opened as a regular file of this user
    }
    return outcome;
}

}  // namespace catalog
