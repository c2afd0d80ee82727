#include "mount/file_cache.h"

#include <algorithm>
#include <thread>

namespace mount {

namespace fs = std::filesystem;
using catalog::Failure;
using catalog::Outcome;
using catalog::StoreCode;

namespace {

bool SamePlan(const catalog::DownloadPlan& a, const catalog::DownloadPlan& b) {
    return a.size == b.size && a.sha256 == b.sha256 && a.parts.size() == b.parts.size();
}

// The copies' directory was emptied at start and names are never used
// twice: anything already at the path is not ours.
bool OpenCopy(const fs::path& path, std::uint64_t size, platform::LocalFile& file) {
    std::string error;
    if (file.CreateNew(path, 0600, error) && file.Resize(size)) return true;
    file.Close();
    return false;
}

}  // namespace

// Locks are taken in one order: a copy's busy, then mutex_ (Trim only tries).

FileCache::~FileCache() {
    WaitPrefetches();
}

bool FileCache::Open() {
    std::error_code error;
    fs::remove_all(dir_, error);
    fs::create_directories(dir_, error);
    return fs::is_directory(dir_, error);
}

std::shared_ptr<FileCache::Copy> FileCache::CopyFor(const std::string& key, const catalog::DownloadPlan& plan) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = copies_.find(key);
        if (found != copies_.end() && SamePlan(found->second->plan, plan)) return found->second;
    }
    // None yet, or another file under an id the mailbox gave out again.
    Forget(key);
    std::lock_guard<std::mutex> lock(mutex_);
    auto copy = std::make_shared<Copy>();
    copy->plan = plan;
    copy->path = dir_ / std::to_string(++next_);
    copy->used.assign(plan.parts.size(), 0);
    copy->fetching.assign(plan.parts.size(), 0);
    copy->pins.assign(plan.parts.size(), 0);
    if (!OpenCopy(copy->path, plan.size, copy->file)) return nullptr;
    copies_[key] = copy;
    return copy;
}

// With the copy's busy lock and mutex_ held; nothing of it is pinned.
void FileCache::Drop(Copy& copy) {
    for (std::size_t i = 0; i < copy.used.size(); ++i)
        if (copy.used[i]) bytes_ -= copy.plan.parts[i].size;
    copy.used.assign(copy.used.size(), 0);
    std::error_code error;
    fs::remove(copy.path, error);
}

Outcome FileCache::Fetch(Copy& copy, std::size_t index, std::unique_lock<std::mutex>& busy, const PartFetcher& fetch) {
    copy.fetched.wait(busy, [&] { return !copy.fetching[index]; });
    if (copy.used[index]) return {};
    copy.fetching[index] = 1;
    busy.unlock();
    Outcome outcome = fetch(copy.plan.parts[index], copy.path);
    busy.lock();
    copy.fetching[index] = 0;
    copy.fetched.notify_all();
    if (!outcome.Ok()) return outcome;
    std::lock_guard<std::mutex> lock(mutex_);
    bytes_ += copy.plan.parts[index].size;
    copy.used[index] = ++clock_;
    return {};
}

Outcome FileCache::Read(const std::string& key, const catalog::DownloadPlan& plan, char* buffer, std::size_t size,
                        std::uint64_t offset, const PartFetcher& fetch, std::size_t& got) {
    got = 0;
    if (offset >= plan.size || size == 0) return {};
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, plan.size - offset));
    std::shared_ptr<Copy> copy = CopyFor(key, plan);
    if (!copy) return Failure(StoreCode::LocalFile, "the cache directory could not take a copy");
    std::vector<std::size_t> pinned;
    Outcome outcome;
    {
        std::unique_lock<std::mutex> busy(copy->busy);
        for (std::size_t i = 0; i < plan.parts.size() && outcome.Ok(); ++i) {
            const catalog::DownloadPart& part = plan.parts[i];
            if (part.offset + part.size <= offset || part.offset >= offset + size) continue;
            outcome = Fetch(*copy, i, busy, fetch);
            if (!outcome.Ok()) break;
            std::lock_guard<std::mutex> lock(mutex_);
            copy->used[i] = ++clock_;
            ++copy->pins[i];
            pinned.push_back(i);
        }
    }
    // Pinned parts stay in the copy until the read is done.
    while (outcome.Ok() && got < size) {
        std::size_t n = 0;
        if (!copy->file.ReadAt(offset + got, buffer + got, size - got, n) || n == 0)
            outcome = Failure(StoreCode::LocalFile, "the cached copy could not be read");
        else
            got += n;
    }
    {
        std::lock_guard<std::mutex> busy(copy->busy);
        for (std::size_t i : pinned) --copy->pins[i];
    }
    Trim();
    return outcome;
}

void FileCache::Prefetch(const std::string& key, const catalog::DownloadPlan& plan, std::size_t index,
                         const PartFetcher& fetch, unsigned most) {
    if (index >= plan.parts.size()) return;
    std::shared_ptr<Copy> copy = CopyFor(key, plan);
    if (!copy) return;
    {
        std::lock_guard<std::mutex> busy(copy->busy);
        if (copy->used[index] || copy->fetching[index]) return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (prefetching_ >= most) return;
        ++prefetching_;
    }
    std::thread([this, copy, index, fetch] {
        {
            std::unique_lock<std::mutex> busy(copy->busy);
            Fetch(*copy, index, busy, fetch);  // a failure shows again when the part is read
        }
        Trim();
        std::lock_guard<std::mutex> lock(mutex_);
        --prefetching_;
        prefetched_.notify_all();
    }).detach();
}

void FileCache::WaitPrefetches() {
    std::unique_lock<std::mutex> lock(mutex_);
    prefetched_.wait(lock, [&] { return prefetching_ == 0; });
}

void FileCache::Adopt(const std::string& key, const catalog::DownloadPlan& plan, const fs::path& file) {
    Forget(key);
    std::shared_ptr<Copy> copy = CopyFor(key, plan);
    if (!copy) return;
    {
        std::lock_guard<std::mutex> busy(copy->busy);
        // Closed first: Windows replaces no file that is open.
        copy->file.Close();
        std::error_code renamed;
        std::string error;
        fs::rename(file, copy->path, renamed);
        if (renamed || !copy->file.OpenExisting(copy->path, error)) return;
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < plan.parts.size(); ++i) {
            bytes_ += plan.parts[i].size;
            copy->used[i] = ++clock_;
        }
    }
    Trim();
}

void FileCache::Forget(const std::string& key) {
    std::shared_ptr<Copy> copy;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = copies_.find(key);
        if (found == copies_.end()) return;
        copy = found->second;
        copies_.erase(found);
    }
    // Reads under way keep their descriptor (the copy is shared); the file goes.
    std::lock_guard<std::mutex> busy(copy->busy);
    std::lock_guard<std::mutex> lock(mutex_);
    Drop(*copy);
}

std::uint64_t FileCache::Bytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

// Punches out the parts used longest ago until the cache is within its
// bound; parts being read or fetched, and copies busy now, are passed over.
void FileCache::Trim() {
    std::lock_guard<std::mutex> lock(mutex_);
    while (bytes_ > limit_) {
        Copy* oldest = nullptr;
        std::size_t oldestPart = 0;
        std::vector<std::unique_lock<std::mutex>> held;
        for (auto& [key, copy] : copies_) {
            std::unique_lock<std::mutex> busy(copy->busy, std::try_to_lock);
            if (!busy.owns_lock()) continue;
            for (std::size_t i = 0; i < copy->used.size(); ++i) {
                if (copy->used[i] && !copy->pins[i] && (!oldest || copy->used[i] < oldest->used[oldestPart])) {
                    oldest = copy.get();
                    oldestPart = i;
                }
            }
            held.push_back(std::move(busy));
        }
        if (!oldest) return;
        const catalog::DownloadPart& part = oldest->plan.parts[oldestPart];
        bytes_ -= part.size;
        oldest->used[oldestPart] = 0;
        if (!oldest->file.PunchHole(part.offset, part.size))
            return;  // a file system that cannot punch holes: the bound cannot be kept
    }
}

}  // namespace mount
