#include "catalog/file_sizes.h"

#include <atomic>
#include <mutex>

#include "catalog/manifest.h"
#include "catalog/parts_pool.h"

namespace catalog {

namespace {

// What the key mail says about its file.
Outcome ReadKnown(MailStore& store, const FileEntry& file, KnownFile& known) {
    MailText mail;
    Outcome outcome = store.ReadMailText(file.key, mail);
    if (!outcome.Ok()) return outcome;
    known = KnownFile();
    Manifest manifest;
    std::string problem;
    switch (ReadManifest(mail.text, manifest, problem)) {
    case ManifestRead::Ok:
        known = {true, true, manifest.size, manifest.stored};
        known.modified = manifest.modified;
        break;
    case ManifestRead::Malformed: known.damaged = true; break;
    case ManifestRead::NotManifest:
    case ManifestRead::UnknownVersion:
        if (!mail.attachments.empty()) known = {true, false, mail.attachments.front().length, 0};
        break;
    }
    return Success();
}

// What the key mail's text, as the listing brought it, says: only a
// manifest that reads whole is taken; anything else (a mail stored some
// other way, a text the listing may have cut) is read from the mailbox.
bool KnownFromListing(const FileEntry& file, KnownFile& known) {
    Manifest manifest;
    std::string problem;
    if (!file.keyTextListed || ReadManifest(file.keyText, manifest, problem) != ManifestRead::Ok) return false;
    known = {true, true, manifest.size, manifest.stored};
    known.modified = manifest.modified;
    return true;
}

void Apply(const KnownFile& known, FileEntry& file) {
    file.sizeKnown = known.sizeKnown;
    file.size = known.size;
    file.damaged = known.damaged;
    if (known.hasManifest && known.stored > 0) file.storedAt = known.stored;
    file.modifiedAt = known.hasManifest && known.modified > 0 ? known.modified : 0;
}

}  // namespace

Outcome FillFileSizes(MailStore& store, ManifestCache& cache, std::vector<FileEntry>& files, unsigned readers) {
    std::vector<std::size_t> unread;
    for (std::size_t i = 0; i < files.size(); ++i) {
        KnownFile known;
        if (cache.Find(files[i], known)) {
            Apply(known, files[i]);
        } else if (KnownFromListing(files[i], known)) {
            Apply(known, files[i]);
            cache.Put(files[i], known);
        } else {
            unread.push_back(i);
        }
        std::string().swap(files[i].keyText);  // read: not kept for as long as the listing lives
    }
    if (unread.empty()) return Success();

    // One unit per mail on the parts engine: its workers are this store and
    // forks of it, so a store of a pool reads within the pool's budget.
    std::atomic<bool> failed{false};
    std::mutex lock;  // guards the cache and the files
    std::vector<Unit> units;
    for (std::size_t at = 0; at < unread.size(); ++at)
        units.push_back({at, [&, at](MailStore& reader, const Moved&, const platform::StopToken&) {
                             // After one failure the rest is left for the next listing.
                             if (failed) return Success();
                             FileEntry& file = files[unread[at]];
                             KnownFile known;
                             Outcome read = ReadKnown(reader, file, known);
                             if (read.code == StoreCode::NotFound) return Success();
                             if (!read.Ok()) return failed = true, read;
                             std::lock_guard<std::mutex> hold(lock);
                             Apply(known, file);
                             cache.Put(file, known);
                             return Success();
                         }});
    const ProgressCallback quiet;
    Pool pool(TransferProgress::Phase::Receiving, 0, 0, quiet, {});
    std::vector<Outcome> failures(unread.size());
    pool.Run(store, readers, units, failures);
    Outcome outcome = FirstFailure(failures);
    return outcome;
}

}  // namespace catalog
