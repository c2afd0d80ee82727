// Inside the desktop: running work on a lane with a store (desktop.h's Run),
// shared by the files that define the desktop's member functions by job.
#pragma once

#include "app/desktop.h"
#include "app/file_listing.h"
#include "catalog/store_pool.h"
#include "catalog/transfers.h"

namespace app {

// A folder's files as listed (or counted).
struct Listed {
    FileListing listing;
};

// Every file of the listing with its exact size, as far as the manifests
// (remembered in `sizes`) tell it. A read that failed once is tried again:
// what was read before it stays in the cache, so the second round reads
// only the rest, and one connection that broke does not leave a thousand
// sizes unknown.
catalog::Outcome SizedFiles(catalog::MailStore& store, catalog::ManifestCache& sizes, FileListing& listing);

// The queue's row for a planned upload of `size` bytes into a folder (as
// the windows number it, and as the store names it).
TransferRow UploadRow(PlannedUpload upload, std::uint64_t size, std::string folderId, std::string storeFolderId);

// The one way the desktop fetches a file: the parts engine, which checks
// every part and replaces the target only with the whole file.
catalog::Outcome Fetch(catalog::MailStore& store, const std::string& key, const std::filesystem::path& target,
                       const catalog::TransferSettings& settings);
// A vault's file, found by its own name in its folder, fetched the same way
// and opened record by record (vault/sealed_files.h).
catalog::Outcome FetchSealed(catalog::MailStore& store, const vault::VaultKey& vaultKey, const std::string& folderId,
                             const std::string& name, const std::filesystem::path& target,
                             const catalog::TransferSettings& settings);
// What a vault's transfer comes to while this run has not its key (a row an
// earlier run left): it waits for the vault to be opened, never sent unsealed.
catalog::Outcome VaultNotOpened();

template <typename Value>
bool Desktop::Run(Lane lane, LaneWork<Value> work, LaneDone<Value> done) {
    Reply reply = ReplyChannel();
    std::shared_ptr<StoreSource> stores = stores_;
    bool onLane = lane == Lane::Session;
    bool started = executor_->Run(lane, [reply, stores, onLane, work = std::move(work), done = std::move(done)] {
        Value value{};
        catalog::Outcome outcome = stores->Run([&](catalog::MailStore& store) { return work(store, value); });
        reply([onLane, done, outcome = std::move(outcome), value = std::move(value)](Desktop& desktop) {
            if (onLane) desktop.LaneWorkEnded();
            done(desktop, outcome, value);
        });
    });
    if (!started) {
        SetStatus(kWorkNotStartedText);
        return false;
    }
    if (onLane && laneWork_++ == 0) Tell([](DesktopView& v) { v.BusyChanged(true); });
    return true;
}

}  // namespace app
