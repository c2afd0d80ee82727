// What a finished store means to the volume: the mails it replaces go to
// the trash (hidden meanwhile), the listing and the read cache take the new
// file, and the pending entry leaves the table unless it changed meanwhile.
// The queueing, retries and the store itself are catalog/writeback_queue's.
#include "mount/volume.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "catalog/drive_file.h"
#include "catalog/drive_names.h"
#include "catalog/file_sizes.h"
#include "catalog/format_values.h"
#include "catalog/part_mark.h"
#include "catalog/writeback_store.h"
#include "mount/errno_map.h"
#include "mount/log.h"
#include "mount/volume_detail.h"

namespace mount {

int Volume::SettleMs(const std::string& name) const {
    return std::max(options_.storeDelayMs, catalog::LooksTemporary(name) ? options_.settleMs : 0);
}

Outcome Volume::StoreAttempt(catalog::PendingStore& record, const std::function<bool()>& keepGoing,
                             catalog::StoredFile& stored) {
    auto run = [this](const auto& work) { return pool_.Run(work, false); };
    const std::shared_ptr<VaultView> vaults = options_.vaults;
    bool sealed = false;
    if (vaults) {
        // Listed (and its vault opened) before its first file could be made there.
        if (EnsureListing(record.folderId) != 0)
            return catalog::Failure(catalog::StoreCode::Unreachable, "listing folder " + record.folderId + " failed");
        Lock lock(mutex_);
        const Listing& listing = listings_[record.folderId];
        if (listing.Locked())
            return catalog::Failure(catalog::StoreCode::Refused, "its folder is a vault this drive cannot open");
        sealed = listing.vault;
    }
    if (!sealed)
        return catalog::StoreOnce(run, journal_, record, options_.partSize, keepGoing, options_.parallelParts, stored);
    const catalog::StoredFormOf form = vaults->SealedForm(record.folderId, record.name);
    if (!form) return catalog::Failure(catalog::StoreCode::Refused, "its folder is a vault this drive cannot open");
    auto neutral = [this, &vaults](const auto& work) {
        return pool_.Run([&](catalog::MailStore& store) { return work(*vaults->Neutral(store)); }, false);
    };
    return catalog::StoreOnce(neutral, journal_, record, options_.partSize, keepGoing, options_.parallelParts, stored,
                              form);
}

void Volume::Stored(Lock& lock, const std::shared_ptr<Pending>& pending, std::uint64_t generation,
                    const catalog::StoredFile& stored) {
    // The store may have kept mails already in the folder (the same bytes
    // under the same name, e.g. a file written again unchanged): those are
    // the new file now, never among what it replaces.
    auto& replaces0 = pending->record.replaces;
    replaces0.erase(std::remove_if(replaces0.begin(), replaces0.end(),
                                   [&](const std::string& id) {
                                       return std::find(stored.mailIds.begin(), stored.mailIds.end(), id) !=
                                              stored.mailIds.end();
                                   }),
                    replaces0.end());
    const catalog::PendingStore record = pending->record;
    if (pending->removed || pending->generation != generation) {
        // Changed, renamed or removed while it was stored: what was stored
        // goes with the rest of what it replaces.
        pending->record.replaces.insert(pending->record.replaces.end(), stored.mailIds.begin(), stored.mailIds.end());
        pending->record.uploadId.clear();
        if (!pending->removed) {
            if (pending->opens == 0) queue_.SaveAndQueue(pending, 0);
            return;
        }
        pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
        ++viewEpoch_;
        catalog::PendingStore gone = pending->record;
        hidden_.insert(gone.replaces.begin(), gone.replaces.end());
        lock.unlock();
        journal_.Remove(gone);
        Trash(gone.folderId, gone.replaces);
        queue_.Changed();
        return;
    }
    const std::vector<std::string> replaces = pending->record.replaces;
    hidden_.insert(replaces.begin(), replaces.end());
    if (pending->opens > 0) {
        // Stored while still open (fsync): it stays here until closed, and
        // what was just stored is what a further change replaces. The
        // listing takes the stored file now, shown through the open one,
        // so that the close need not read the folder again.
        pending->record.replaces = stored.mailIds;
        pending->record.uploadId.clear();
        pending->storedGeneration = generation;
        journal_.Save(pending->record);
        const std::int64_t modified =
            record.modifiedNs ? record.modifiedNs : ModifiedNanoseconds(journal_.DataPath(record));
        const bool listed = ListStored(record.folderId, stored, modified);
        lock.unlock();
        Trash(record.folderId, replaces, !listed);
        queue_.Changed();
        return;
    }
    lock.unlock();

    Trash(record.folderId, replaces, false);
    const std::string key = stored.mailIds.empty() ? "" : stored.mailIds.front();
    std::int64_t modified = record.modifiedNs;
    if (!modified) modified = ModifiedNanoseconds(journal_.DataPath(record));
    lock.lock();
    // The listing takes the stored file before the pending one leaves it.
    if (!ListStored(record.folderId, stored, modified)) {
        lock.unlock();
        RefreshListing(record.folderId);
        lock.lock();
    }
    if (pending->removed || pending->generation != generation || pending->opens > 0) {
        // Opened, changed or removed while its old mails went: what was
        // just stored is what comes next replaces.
        pending->record.replaces = stored.mailIds;
        pending->record.uploadId.clear();
        pending->storedGeneration = generation;
        if (pending->removed) {
            pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
            ++viewEpoch_;
            lock.unlock();
            journal_.Remove(pending->record);
            Trash(record.folderId, stored.mailIds);
        } else if (pending->opens == 0) {
            queue_.SaveAndQueue(pending, 0);
        } else {
            journal_.Save(pending->record);
        }
        queue_.Changed();
        return;
    }
    pending->finished = true;
    pending_.erase(std::remove(pending_.begin(), pending_.end(), pending), pending_.end());
    pending->storedGeneration = generation;
    ++viewEpoch_;
    const bool vault = listings_[record.folderId].vault;
    lock.unlock();
    std::uint64_t size = stored.plan.size;
    // A vault's file is shown by its plain size and never cached in plain.
    if (vault) pending->file.Size(size);
    times_.Set(key, size, modified);
    if (!vault) cache_.Adopt(key, PlanOf(stored), journal_.DataPath(record));
    journal_.Remove(record);
    queue_.Changed();
}

}  // namespace mount
