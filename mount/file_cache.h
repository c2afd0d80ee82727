// The local copies of files read through the mount, under the cache
// directory. A copy is fetched a part at a time, and only the parts a read
// touches (and, read ahead, the next ones); each part is checked against
// its SHA-256 as it arrives. Parts of one copy are fetched side by side.
// The cache keeps to its size: the parts used longest ago leave first
// (their bytes are punched out of the copy), so only parts being read or
// fetched can take it over its bound.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "catalog/download.h"
#include "platform/local_file.h"

namespace mount {

// Writes the part's bytes at its offset into `file` and checks them.
using PartFetcher =
    std::function<catalog::Outcome(const catalog::DownloadPart& part, const std::filesystem::path& file)>;

class FileCache {
public:
    FileCache(std::filesystem::path dir, std::uint64_t limit) : dir_(std::move(dir)), limit_(limit) {}
    ~FileCache();
    FileCache(const FileCache&) = delete;
    FileCache& operator=(const FileCache&) = delete;

    // Empties the directory (copies of an earlier run are not trusted).
    bool Open();

    // Up to `size` bytes of the file from `offset`, fetching what is not
    // here yet; the number of bytes read, or a failure.
    catalog::Outcome Read(const std::string& key, const catalog::DownloadPlan& plan, char* buffer, std::size_t size,
                          std::uint64_t offset, const PartFetcher& fetch, std::size_t& got);
    // Takes `file`, which holds every byte of the plan, as the copy of
    // `key` (it is moved into the cache).
    void Adopt(const std::string& key, const catalog::DownloadPlan& plan, const std::filesystem::path& file);
    void Forget(const std::string& key);
    // Starts fetching part `index` in the background unless it is here or
    // on its way, or `most` fetches are under way already.
    void Prefetch(const std::string& key, const catalog::DownloadPlan& plan, std::size_t index,
                  const PartFetcher& fetch, unsigned most);
    // Waits for the background fetches to end (their fetcher must stay usable until then).
    void WaitPrefetches();

    std::uint64_t Bytes();

private:
    struct Copy {
        std::mutex busy;  // guards what follows (not held while a part is fetched)
        std::condition_variable fetched;
        catalog::DownloadPlan plan;
        std::filesystem::path path;
        platform::LocalFile file;
        std::vector<std::uint64_t> used;  // per part: when last used, 0 while absent
        std::vector<char> fetching;       // per part: on its way
        std::vector<int> pins;            // per part: reads under way
    };
    // Makes part `index` present (fetching it, or waiting for the fetch
    // under way); with `busy` held.
    catalog::Outcome Fetch(Copy& copy, std::size_t index, std::unique_lock<std::mutex>& busy, const PartFetcher& fetch);
    std::shared_ptr<Copy> CopyFor(const std::string& key, const catalog::DownloadPlan& plan);
    void Drop(Copy& copy);
    void Trim();

    std::filesystem::path dir_;
    std::uint64_t limit_;
    std::mutex mutex_;  // guards copies_, bytes_, clock_, next_
    std::map<std::string, std::shared_ptr<Copy>> copies_;
    std::uint64_t bytes_ = 0;
    std::uint64_t clock_ = 0;
    std::uint64_t next_ = 0;
    unsigned prefetching_ = 0;
    std::condition_variable prefetched_;
};

}  // namespace mount
