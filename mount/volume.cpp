// The volume's life: its parts, its start and stop, and how a path splits.
#include "mount/volume.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "catalog/drive_file.h"
#include "catalog/file_sizes.h"
#include "catalog/format_values.h"
#include "catalog/part_mark.h"
#include "mount/errno_map.h"
#include "mount/log.h"
#include "catalog/drive_names.h"
#include "catalog/writeback_store.h"
#include "mount/volume_detail.h"

namespace mount {

Volume::Volume(StorePool& pool, catalog::Journal& journal, FileCache& cache, catalog::Times& times, VolumeOptions options)
    : pool_(pool), journal_(journal), cache_(cache), times_(times), options_(options) {}

Volume::~Volume() {
    Stop();
}

Volume::Pending::~Pending() {
    if (fd >= 0) ::close(fd);
}

void Volume::Start() {
    {
        Lock lock(mutex_);
        for (catalog::PendingStore& record : journal_.Load()) {
            auto pending = std::make_shared<Pending>();
            pending->record = record;
            pending->fd = ::open(journal_.DataPath(record).c_str(), O_RDWR | O_CLOEXEC);
            if (pending->fd < 0) continue;
            pending->saved = pending->generation;
            pending->queued = true;
            pending->notBefore = Clock::now();
            pending_.push_back(pending);
            Log("resuming the store of " + record.name);
        }
        ++viewEpoch_;
        stopping_ = false;
    }
    for (unsigned i = 0; i < std::max(1u, options_.storeWorkers); ++i) workers_.emplace_back([this] { Worker(); });
}

void Volume::Stop() {
    {
        Lock lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
    cache_.WaitPrefetches();  // they use the pool
}

Volume::Path Volume::Split(const std::string& path) {
    Path split;
    if (path.empty() || path[0] != '/') return split.depth = -1, split;
    std::string rest = path.substr(1);
    if (rest.empty()) return split;
    std::string::size_type slash = rest.find('/');
    split.folder = rest.substr(0, slash);
    if (slash == std::string::npos) return split.depth = 1, split;
    split.name = rest.substr(slash + 1);
    split.depth = split.name.empty() || split.name.find('/') != std::string::npos ? -1 : 2;
    return split;
}

int Volume::LogFailure(const char* what, const std::string& path, const Outcome& outcome) {
    int error = ErrnoOf(outcome);
    if (WorthLogging(outcome))
        Log(std::string(what) + " " + path + ": " + outcome.Text());
    return -error;
}

}  // namespace mount
