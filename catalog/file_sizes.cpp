#include "catalog/file_sizes.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "catalog/manifest.h"

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

    std::vector<std::unique_ptr<MailStore>> forks;
    for (unsigned extra = 1; extra < readers && extra < unread.size(); ++extra) {
        std::unique_ptr<MailStore> fork;
        if (!store.Fork(fork).Ok() || !fork) break;
        forks.push_back(std::move(fork));
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex lock;  // guards the cache, the files and `outcome`
    Outcome outcome = Success();
    auto work = [&](MailStore& reader) {
        for (std::size_t at = next++; at < unread.size() && !failed; at = next++) {
            FileEntry& file = files[unread[at]];
            KnownFile known;
            Outcome read = ReadKnown(reader, file, known);
            std::lock_guard<std::mutex> hold(lock);
            if (read.Ok()) {
                Apply(known, file);
                cache.Put(file, known);
            } else if (read.code != StoreCode::NotFound && !failed.exchange(true)) {
                outcome = read;
            }
        }
    };
    std::vector<std::thread> threads;
    for (auto& fork : forks) threads.emplace_back(work, std::ref(*fork));
    work(store);
    for (std::thread& thread : threads) thread.join();
    return outcome;
}

}  // namespace catalog
