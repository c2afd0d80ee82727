// The volume's life: its parts, its start and stop, and how a path splits.
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

namespace {

catalog::WritebackSettings WritebackOf(const VolumeOptions& options) {
    catalog::WritebackSettings settings;
    settings.partSize = options.partSize;
    settings.workers = options.storeWorkers;
    settings.parallelParts = options.parallelParts;
    settings.firstRetryMs = options.firstRetryMs;
    settings.longestRetryMs = options.longestRetryMs;
    settings.longestWaitMs = options.longestSyncWaitMs;
    settings.log = Log;
    return settings;
}

}  // namespace

Volume::Volume(StorePool& pool, catalog::Journal& journal, FileCache& cache, catalog::Times& times,
               VolumeOptions options)
    : pool_(pool),
      journal_(journal),
      cache_(cache),
      times_(times),
      options_(options),
      queue_(
          mutex_, journal, [&pool](const auto& work) { return pool.Run(work, false); },
          [this, &options] {
              catalog::WritebackSettings settings = WritebackOf(options);
              settings.attempt = [this](catalog::PendingStore& record, const std::function<bool()>& keepGoing,
                                        catalog::StoredFile& stored) {
                  return StoreAttempt(record, keepGoing, stored);
              };
              return settings;
          }(),
          [this](catalog::WritebackQueue::Lock& lock, const catalog::WritebackQueue::EntryPtr& entry,
                 std::uint64_t generation, const catalog::StoredFile& stored) {
              Stored(lock, std::static_pointer_cast<Pending>(entry), generation, stored);
          }) {}

Volume::~Volume() {
    Stop();
}

void Volume::Start() {
    if (!options_.openedDir.empty()) {
        // Plain copies of vaults' files a killed run left open.
        std::error_code error;
        std::filesystem::remove_all(options_.openedDir, error);
    }
    if (!options_.manifestFile.empty()) {
        std::lock_guard<std::mutex> lock(manifestsMutex_);
        manifests_.Load(options_.manifestFile);
    }
    auto resumed = queue_.Resume([this](const catalog::PendingStore& record) -> catalog::WritebackQueue::EntryPtr {
        auto pending = std::make_shared<Pending>();
        std::string error;
        if (!pending->file.OpenExisting(journal_.DataPath(record), error)) return nullptr;
        Log("resuming the store of " + record.name);
        return pending;
    });
    {
        Lock lock(mutex_);
        for (const auto& entry : resumed) pending_.push_back(std::static_pointer_cast<Pending>(entry));
        ++viewEpoch_;
    }
    queue_.Start();
}

void Volume::Stop() {
    queue_.Stop();
    cache_.WaitPrefetches();  // they use the pool
    if (!options_.manifestFile.empty()) {
        std::lock_guard<std::mutex> lock(manifestsMutex_);
        manifests_.Save(options_.manifestFile);
    }
}

Volume::Path Volume::Split(const std::string& path) {
    Path split;
    if (path.empty() || path[0] != '/') return split.depth = -1, split;
    split.full = path.substr(1);
    if (split.full.empty()) return split;
    for (std::string::size_type at = 0;;) {
        std::string::size_type slash = split.full.find('/', at);
        std::string level = split.full.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        if (level.empty() || level == "." || level == "..") return split.depth = -1, split;
        ++split.depth;
        if (slash == std::string::npos) break;
        at = slash + 1;
    }
    std::string::size_type last = split.full.rfind('/');
    split.dir = last == std::string::npos ? "" : split.full.substr(0, last);
    split.name = last == std::string::npos ? split.full : split.full.substr(last + 1);
    return split;
}

int Volume::LogFailure(const char* what, const std::string& path, const Outcome& outcome) {
    int error = ErrnoOf(outcome);
    if (WorthLogging(outcome)) Log(std::string(what) + " " + path + ": " + outcome.Text());
    return -error;
}

}  // namespace mount
