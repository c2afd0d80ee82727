#include "catalog/upload.h"

#include <algorithm>
#include <future>

#include "catalog/format_values.h"
#include "catalog/part_mark.h"
#include "catalog/sha256.h"
#include "catalog/sync_times.h"

namespace catalog {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadChunk = 1 << 20;

// The file's name in UTF-8; false when the system's name has no UTF-8 form.
bool Utf8FileName(const fs::path& source, std::string& name) {
    try {
        name = source.filename().u8string();
        return true;
    } catch (...) {
        return false;
    }
}

Outcome CheckSource(const fs::path& source, std::uint64_t partSize, const StoredFormOf& formOf, UploadPlan& plan) {
    if (!Utf8FileName(source, plan.name)) return Failure(StoreCode::Refused, "the file name has no UTF-8 form");
    Outcome outcome = formOf ? Success() : CheckFileName(plan.name);
    if (!outcome.Ok()) return outcome;
    std::error_code error;
    if (!fs::is_regular_file(source, error)) return Failure(StoreCode::LocalFile, plan.name + " is not a regular file");
    plan.size = plan.sourceSize = fs::file_size(source, error);
    if (!error) plan.modified = fs::last_write_time(source, error);
    if (error) return Failure(StoreCode::LocalFile, plan.name + ": " + error.message());
    if (formOf) {
        StoredForm form;
        if (outcome = formOf(source, form); !outcome.Ok()) return outcome;
        if (outcome = CheckFileName(form.name); !outcome.Ok()) return outcome;
        plan.name = std::move(form.name);
        plan.size = form.size;
        plan.open = std::move(form.open);
    }
    if (partSize == 0 || partSize > kLargestPart)
        return Failure(StoreCode::Refused, "the part size must be at least 1 byte and below 2 GiB");
    std::uint64_t count = plan.size == 0 ? 1 : (plan.size - 1) / partSize + 1;
    if (count > kMaxParts)
        return Failure(StoreCode::Refused,
                       plan.name + " would take " + std::to_string(count) + " parts; choose a larger part size");
    if (count == 1 && ReadSubject(plan.name).kind != SubjectKind::Plain)
        return Failure(StoreCode::Refused,
                       "a file in one part cannot be named like a part of a larger one: " + plan.name);
    for (std::uint64_t offset = 0, number = 1; number <= count; ++number, offset += partSize)
        plan.parts.push_back({static_cast<std::uint32_t>(number), offset, std::min(partSize, plan.size - offset), {}});
    return Success();
}

std::string PartLabel(const UploadPlan& plan, const UploadPart& part) {
    if (plan.parts.size() == 1) return plan.name;
    return "part " + std::to_string(part.number) + " of " + std::to_string(plan.parts.size()) + " of " + plan.name;
}

}  // namespace

Manifest UploadPlan::ManifestOf(const UploadPart& part) const {
    Manifest manifest;
    manifest.name = name;
    manifest.size = size;
    manifest.sha256 = sha256;
    manifest.parts = static_cast<std::uint32_t>(parts.size());
    manifest.part = part.number;
    manifest.offset = part.offset;
    manifest.partSize = part.size;
    manifest.partSha256 = part.sha256;
    manifest.uploadId = uploadId;
    manifest.stored = stored;
    manifest.modified = UtcSecondsOf(modified);  // get and sync give it back to the file they write
    return manifest;
}

Outcome PlanUpload(const fs::path& source, std::uint64_t partSize, const ProgressCallback& progress,
                   const platform::StopToken& stop, UploadPlan& plan, const StoredFormOf& formOf) {
    plan = UploadPlan();
    plan.source = source;
    Outcome outcome = CheckSource(source, partSize, formOf, plan);
    if (!outcome.Ok()) return outcome;

    const std::unique_ptr<platform::ByteReader> in = plan.open ? plan.open() : platform::OpenFileReader(source);
    if (!in) return Failure(StoreCode::LocalFile, plan.name + " could not be opened");
    // Pieces of at most kReadChunk bytes, each within a part; `ends`: the
    // part it is the last piece of.
    struct Piece {
        std::uint64_t at = 0;
        std::size_t size = 0;
        UploadPart* ends = nullptr;
    };
    std::vector<Piece> pieces;
    for (UploadPart& part : plan.parts) {
        const std::uint64_t end = part.offset + part.size;
        for (std::uint64_t at = part.offset;;) {  // an empty part is one empty piece
            const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, end - at));
            pieces.push_back({at, size, at + size == end ? &part : nullptr});
            if ((at += size) == end) break;
        }
    }
    // The next piece is read on a thread of its own while this one is
    // hashed: bytes made as they are read (a vault seals them) take the
    // other core instead of adding to the hashing.
    std::vector<char> buffers[2] = {std::vector<char>(kReadChunk), std::vector<char>(kReadChunk)};
    auto readAhead = [&in, &buffers](std::size_t slot, const Piece& piece) {
        return std::async([&in, &buffers, slot, piece] {
            return piece.size == 0 || in->ReadAt(piece.at, buffers[slot].data(), piece.size);
        });
    };
    Sha256 whole, partDigest;
    std::uint64_t done = 0;
    const Outcome changed = Failure(StoreCode::LocalFile, plan.name + " changed while it was being read");
    std::future<bool> next = readAhead(0, pieces.front());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        if (!next.get()) return changed;
        if (i + 1 < pieces.size()) next = readAhead((i + 1) % 2, pieces[i + 1]);
        // The two digests of the same bytes are made at once, one on a
        // thread of its own: hashing is most of a plan's time.
        const char* bytes = buffers[i % 2].data();
        std::future<void> wholeDone =
            std::async(std::launch::async, [&whole, bytes, &piece] { whole.Update(bytes, piece.size); });
        partDigest.Update(bytes, piece.size);
        wholeDone.get();
        done += piece.size;
        if (piece.ends) piece.ends->sha256 = partDigest.FinishHex();
        if (progress) progress({TransferProgress::Phase::Hashing, done, plan.size});
        if (stop.StopRequested()) return Failure(StoreCode::Cancelled, plan.name);
    }
    if (char more = 0; in->ReadAt(done, &more, 1)) return changed;
    plan.sha256 = whole.FinishHex();
    plan.stored = UtcNow();
    return NewUploadId(plan.uploadId);
}

Outcome StorePlannedPart(MailStore& store, const UploadPlan& plan, const UploadPart& part, const std::string& folderId,
                         const SendProgress& sent, const platform::StopToken& stop, std::string& mailId) {
    const auto parts = static_cast<std::uint32_t>(plan.parts.size());
    PartUpload upload;
    upload.folderId = folderId;
    upload.subject = PartSubject(plan.name, part.number, parts, UploadTag(plan.uploadId));
    upload.text = WriteManifest(plan.ManifestOf(part));
    upload.attachmentName = PartAttachmentName(plan.name, part.number, parts);
    upload.uploadId = plan.uploadId;
    upload.source = plan.source;
    if (plan.open && !(upload.reader = plan.open()))
        return Failure(StoreCode::LocalFile, PartLabel(plan, part) + ": the file to store could not be read");
    upload.offset = part.offset;
    upload.length = part.size;
    upload.progress = sent;
    upload.stop = stop;
    Outcome outcome = store.StorePart(upload, mailId);
    if (!outcome.Ok()) outcome.detail = PartLabel(plan, part) + (outcome.detail.empty() ? "" : ": " + outcome.detail);
    return outcome;
}

bool SourceUnchanged(const UploadPlan& plan) {
    std::error_code sizeError, timeError;
    std::uint64_t size = fs::file_size(plan.source, sizeError);
    fs::file_time_type modified = fs::last_write_time(plan.source, timeError);
    return !sizeError && !timeError && size == plan.sourceSize && modified == plan.modified;
}

Outcome PutFile(MailStore& store, const fs::path& source, const std::string& folderId, const PutOptions& options,
                PutResult& result) {
    result = PutResult();
    UploadPlan plan;
    Outcome outcome = PlanUpload(source, options.partSize, options.progress, options.stop, plan);
    if (!outcome.Ok()) return outcome;
    result.parts = static_cast<std::uint32_t>(plan.parts.size());

    std::uint64_t done = 0;
    auto report = [&](std::uint64_t bytes) {
        if (options.progress) options.progress({TransferProgress::Phase::Sending, bytes, plan.size});
    };
    for (const UploadPart& part : plan.parts) {
        std::string mailId;
        outcome = StorePlannedPart(
            store, plan, part, folderId, [&](std::uint64_t sent) { report(done + sent); }, options.stop, mailId);
        if (!outcome.Ok()) return outcome;
        result.storedMailIds.push_back(mailId);
        if (part.number == 1) result.key = mailId;
        done += part.size;
        report(done);
        if (options.stop.StopRequested()) return Failure(StoreCode::Cancelled, PartLabel(plan, part));
    }
    if (!SourceUnchanged(plan)) {
        // The parts may not hold what their manifests say: never leave them as a file.
        store.DeleteMails(result.storedMailIds);
        result = PutResult();
        return Failure(StoreCode::LocalFile, plan.name + " changed while it was being stored; nothing was kept");
    }
    return Success();
}

}  // namespace catalog
