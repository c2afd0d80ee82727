// The mount's parts that need no kernel: errno mapping, the part-wise read
// cache and the connection pool, against the catalog's in-memory mailbox.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "../catalog/memory_store.h"
#include "../catalog/scratch_files.h"
#include "mount/errno_map.h"
#include "mount/file_cache.h"

namespace {

namespace fs = std::filesystem;
using catalog::StoreCode;

TEST(MountErrno, EachOutcomeMapsToWhatAProgramExpects) {
    const std::pair<StoreCode, int> table[] = {{StoreCode::Ok, 0},
                                               {StoreCode::NotFound, ENOENT},
                                               {StoreCode::Refused, EACCES},
                                               {StoreCode::TooLarge, ENOSPC},
                                               {StoreCode::QuotaShortTerm, ENOSPC},
                                               {StoreCode::QuotaDaily, ENOSPC},
                                               {StoreCode::TimedOut, EIO},
                                               {StoreCode::Broken, EIO},
                                               {StoreCode::Corrupt, EIO},
                                               {StoreCode::SessionExpired, EACCES}};
    for (auto [code, expected] : table) {
        EXPECT_EQ(mount::ErrnoOf(catalog::Failure(code, "")), expected) << catalog::StoreCodeText(code);
        EXPECT_EQ(mount::WorthLogging(catalog::Failure(code, "")), expected == EIO);
    }
    // A folder change refused by the mailbox's own code: a limit is a full disk, not a denied one.
    const std::pair<const char*, int> folders[] = {
        {"FA_FOLDER_TOO_DEEP", ENOSPC},     {"FA_OVERFLOW", ENOSPC},    {"LIMIT", ENOSPC},
        {"FA_FOLDER_NOT_EMPTY", ENOTEMPTY}, {"FA_NAME_EXISTS", EEXIST}, {"FA_FORBIDDEN", EACCES}};
    for (auto [refusal, expected] : folders)
        EXPECT_EQ(mount::FolderErrnoOf(catalog::Outcome(StoreCode::Refused, "", refusal)), expected) << refusal;
}

// A file of five 10-byte parts, fetched from a table of bytes.
struct MountCache : ::testing::Test {
    testsupport::ScratchDir dir;
    std::string bytes = "0123456789abcdefghijABCDEFGHIJklmnopqrstKLMNOPQRST";
    catalog::DownloadPlan plan;
    std::vector<std::uint32_t> fetched;
    MountCache() {
        plan.size = bytes.size();
        for (std::uint32_t i = 0; i < 5; ++i)
            plan.parts.push_back({i + 1, 5, "m" + std::to_string(i), i * 10u, 10, ""});
    }
    mount::PartFetcher Fetcher(StoreCode fail = StoreCode::Ok) {
        return [this, fail](const catalog::DownloadPart& part, const fs::path& file) -> catalog::Outcome {
            if (fail != StoreCode::Ok) return catalog::Failure(fail, "on demand");
            fetched.push_back(part.number);
            std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
            out.seekp(part.offset);
            out.write(bytes.data() + part.offset, part.size);
            return {};
        };
    }
    std::string Read(mount::FileCache& cache, std::size_t size, std::uint64_t offset, const mount::PartFetcher& f) {
        std::string out(size, '\0');
        std::size_t got = 0;
        catalog::Outcome outcome = cache.Read("k", plan, &out[0], size, offset, f, got);
        return outcome.Ok() ? out.substr(0, got) : "error: " + outcome.Text();
    }
};

TEST_F(MountCache, ReadsFetchOnlyThePartsTheyTouchAndTheCacheKeepsItsBound) {
    mount::FileCache cache(dir.path / "files", 25);
    ASSERT_TRUE(cache.Open());
    EXPECT_EQ(Read(cache, 5, 12, Fetcher()), "cdefg");
    EXPECT_EQ(Read(cache, 12, 18, Fetcher()), "ijABCDEFGHIJ");
    EXPECT_EQ(fetched, (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(Read(cache, 4, 48, Fetcher()), "ST");  // cut at the end; part 2, used longest ago, leaves
    EXPECT_LE(cache.Bytes(), 25u);
    EXPECT_EQ(Read(cache, 2, 25, Fetcher()), "FG");  // still here
    EXPECT_EQ(Read(cache, 2, 10, Fetcher()), "ab");  // fetched again
    EXPECT_EQ(fetched, (std::vector<std::uint32_t>{2, 3, 5, 2}));
    EXPECT_EQ(Read(cache, 1, 31, Fetcher(StoreCode::Corrupt)), "error: verification failed: on demand");
    EXPECT_EQ(Read(cache, 4, 50, Fetcher()), "");
}

TEST_F(MountCache, AnAdoptedFileIsReadWithoutFetching) {
    mount::FileCache cache(dir.path / "files", 1000);
    ASSERT_TRUE(cache.Open());
    std::ofstream(dir.path / "stored") << bytes;
    cache.Adopt("k", plan, dir.path / "stored");
    EXPECT_EQ(Read(cache, 50, 0, Fetcher()), bytes);
    EXPECT_TRUE(fetched.empty());
    EXPECT_EQ(cache.Bytes(), 50u);
    cache.Forget("k");
    EXPECT_EQ(cache.Bytes(), 0u);
}

}  // namespace
