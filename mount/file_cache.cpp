#include "mount/file_cache.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace mount {

namespace fs = std::filesystem;
using catalog::Failure;
using catalog::Outcome;
using catalog::StoreCode;

namespace {

bool SamePlan(const catalog::DownloadPlan& a, const catalog::DownloadPlan& b) {
    return a.size == b.size && a.sha256 == b.sha256 && a.parts.size() == b.parts.size();
}

}  // namespace

FileCache::~FileCache() {
    for (auto& [key, copy] : copies_)
        if (copy->fd >= 0) ::close(copy->fd);
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
    copy->fd = ::open(copy->path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (copy->fd >= 0 && ::ftruncate(copy->fd, static_cast<off_t>(plan.size)) != 0) {
        ::close(copy->fd);
        copy->fd = -1;
    }
    if (copy->fd < 0) return nullptr;
    copies_[key] = copy;
    return copy;
}

// With the copy's busy lock and mutex_ held.
void FileCache::Drop(Copy& copy) {
    for (std::size_t i = 0; i < copy.used.size(); ++i)
        if (copy.used[i]) bytes_ -= copy.plan.parts[i].size;
    copy.used.assign(copy.used.size(), 0);
    if (copy.fd >= 0) ::close(copy.fd);
    copy.fd = -1;
    std::error_code error;
    fs::remove(copy.path, error);
}

Outcome FileCache::Read(const std::string& key, const catalog::DownloadPlan& plan, char* buffer, std::size_t size,
                        std::uint64_t offset, const PartFetcher& fetch, std::size_t& got) {
    got = 0;
    if (offset >= plan.size || size == 0) return {};
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, plan.size - offset));
    std::shared_ptr<Copy> copy = CopyFor(key, plan);
    if (!copy) return Failure(StoreCode::LocalFile, "the cache directory could not take a copy");
    {
        std::lock_guard<std::mutex> busy(copy->busy);
        if (copy->fd < 0) {  // trimmed away whole: start it again
            copy->fd = ::open(copy->path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (copy->fd < 0 || ::ftruncate(copy->fd, static_cast<off_t>(plan.size)) != 0)
                return Failure(StoreCode::LocalFile, "the cache directory could not take a copy");
        }
        for (std::size_t i = 0; i < plan.parts.size(); ++i) {
            const catalog::DownloadPart& part = plan.parts[i];
            if (part.offset + part.size <= offset || part.offset >= offset + size) continue;
            if (!copy->used[i]) {
                Outcome outcome = fetch(part, copy->path);
                if (!outcome.Ok()) return outcome;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            if (!copy->used[i]) bytes_ += part.size;
            copy->used[i] = ++clock_;
        }
        while (got < size) {
            ssize_t n = ::pread(copy->fd, buffer + got, size - got, static_cast<off_t>(offset + got));
            if (n <= 0) return Failure(StoreCode::LocalFile, "the cached copy could not be read");
            got += static_cast<std::size_t>(n);
        }
    }
    Trim();
    return {};
}

void FileCache::Adopt(const std::string& key, const catalog::DownloadPlan& plan, const fs::path& file) {
    Forget(key);
    std::shared_ptr<Copy> copy = CopyFor(key, plan);
    if (!copy) return;
    {
        std::lock_guard<std::mutex> busy(copy->busy);
        std::error_code error;
        fs::rename(file, copy->path, error);
        int fd = error ? -1 : ::open(copy->path.c_str(), O_RDWR | O_CLOEXEC);
        std::lock_guard<std::mutex> lock(mutex_);
        if (fd < 0) return;
        ::close(copy->fd);
        copy->fd = fd;
        for (std::size_t i = 0; i < plan.parts.size(); ++i) {
            bytes_ += plan.parts[i].size;
            copy->used[i] = ++clock_;
        }
    }
    Trim();
}

// Locks are taken in one order: a copy's busy, then mutex_ (Trim only tries).
void FileCache::Forget(const std::string& key) {
    std::shared_ptr<Copy> copy;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = copies_.find(key);
        if (found == copies_.end()) return;
        copy = found->second;
        copies_.erase(found);
    }
    std::lock_guard<std::mutex> busy(copy->busy);
    std::lock_guard<std::mutex> lock(mutex_);
    Drop(*copy);
}

std::uint64_t FileCache::Bytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytes_;
}

// Punches out the parts used longest ago until the cache is within its
// bound; copies being read now are passed over.
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
                if (copy->used[i] && (!oldest || copy->used[i] < oldest->used[oldestPart])) {
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
        if (::fallocate(oldest->fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(part.offset),
                        static_cast<off_t>(part.size)) != 0 ||
            std::none_of(oldest->used.begin(), oldest->used.end(), [](std::uint64_t u) { return u != 0; }))
            Drop(*oldest);  // a file system that cannot punch holes frees the whole copy
    }
}

}  // namespace mount
