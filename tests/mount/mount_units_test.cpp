// The mount's parts that need no kernel: errno mapping, unique names, the
// journal, the part-wise read cache and storing exactly once, against the
// catalog's in-memory mailbox.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "../catalog/memory_store.h"
#include "mount/errno_map.h"
#include "mount/file_cache.h"
#include "mount/journal.h"
#include "mount/names.h"
#include "mount/store_once.h"
#include "provider_process.h"

namespace {

namespace fs = std::filesystem;
using catalog::StoreCode;

struct TempDir {
    fs::path path = testsupport::MakeTempDir("vantlo-mount-units-");
    ~TempDir() { testsupport::RemoveTree(path.string()); }
};

TEST(MountErrno, EachOutcomeMapsToWhatAProgramExpects) {
    const std::pair<StoreCode, int> table[] = {
        {StoreCode::Ok, 0},           {StoreCode::NotFound, ENOENT},     {StoreCode::Refused, EACCES},
        {StoreCode::TooLarge, ENOSPC}, {StoreCode::QuotaShortTerm, ENOSPC}, {StoreCode::QuotaDaily, ENOSPC},
        {StoreCode::TimedOut, EIO},   {StoreCode::Broken, EIO},          {StoreCode::Corrupt, EIO},
        {StoreCode::SessionExpired, EACCES}};
    for (auto [code, expected] : table) {
        EXPECT_EQ(mount::ErrnoOf({code, ""}), expected) << catalog::StoreCodeText(code);
        EXPECT_EQ(mount::WorthLogging({code, ""}), expected == EIO);
    }
}

TEST(MountNames, LaterFilesOfANameGetAStableMark) {
    using mount::Named;
    auto a = mount::UniqueNames({{"a.txt", "k1"}, {"a.txt", "k2"}, {"a.txt", "k3"}, {"", "k4"}, {"x/y", "k5"},
                                 {"..", "k6"}, {".rc", "k7"}, {".rc", "k8"}});
    EXPECT_EQ(a[0], "a.txt");
    EXPECT_EQ(a[3], "_");
    EXPECT_EQ(a[4], "x_y");
    EXPECT_EQ(a[5], "_..");
    EXPECT_EQ(a[6], ".rc");
    EXPECT_NE(a[1], a[2]);
    EXPECT_EQ(a[1].substr(0, 2) + a[1].substr(a[1].size() - 4), "a~.txt");
    EXPECT_EQ(a[7].substr(0, 4), ".rc~");
    // A mark does not move when another duplicate goes, and a real name
    // that looks like a mark keeps its name.
    auto b = mount::UniqueNames({{"a.txt", "k1"}, {"a.txt", "k3"}, {a[1], "k9"}});
    EXPECT_EQ(b[1], a[2]);
    EXPECT_EQ(b[2], a[1]);
    auto c = mount::UniqueNames({{"a.txt", "k1"}, {a[1], "k9"}, {"a.txt", "k2"}});
    EXPECT_EQ(c[1], a[1]);
    EXPECT_NE(c[2], a[1]);
}

TEST(MountJournal, EntriesRoundTripAndLoadKeepsOnlyWholeOnes) {
    TempDir dir;
    mount::Journal journal(dir.path / "pending");
    ASSERT_TRUE(journal.Open());
    mount::PendingStore store;
    store.id = journal.NewId();
    store.folderId = "Files\\2026\nx";
    store.name = "line\\break\r.txt";
    store.replaces = {"m1", "m2"};
    store.modifiedNs = 1700000000123456789;
    store.partSize = 1 << 20;
    store.uploadId = std::string(32, 'a');
    store.sha256 = std::string(64, 'b');
    store.stored = 1700000000;
    fs::create_directories(journal.DataPath(store).parent_path());
    std::ofstream(journal.DataPath(store)) << "bytes";
    ASSERT_TRUE(journal.Save(store));

    mount::PendingStore orphan = store, unclosed = store;
    orphan.id = journal.NewId();  // an entry whose data is gone
    fs::create_directories(journal.DataPath(orphan).parent_path());
    std::ofstream(journal.DataPath(orphan)) << "x";
    ASSERT_TRUE(journal.Save(orphan));
    fs::remove(journal.DataPath(orphan));
    unclosed.id = journal.NewId();  // data never closed: no entry
    fs::create_directories(journal.DataPath(unclosed).parent_path());
    std::ofstream(dir.path / "pending" / "broken.entry") << "vantlo-pending: 1\nname: \\q\n";

    auto loaded = journal.Load();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(mount::WriteEntry(loaded[0]), mount::WriteEntry(store));
    EXPECT_EQ(loaded[0].id, store.id);
    EXPECT_FALSE(fs::exists(dir.path / "pending" / unclosed.id));
    EXPECT_FALSE(fs::exists(dir.path / "pending" / "broken.entry"));
    journal.Remove(loaded[0]);
    EXPECT_TRUE(journal.Load().empty());
    EXPECT_TRUE(fs::exists(dir.path / "pending"));
}

// A file of five 10-byte parts, fetched from a table of bytes.
struct MountCache : ::testing::Test {
    TempDir dir;
    std::string bytes = "0123456789abcdefghijABCDEFGHIJklmnopqrstKLMNOPQRST";
    catalog::DownloadPlan plan;
    std::vector<std::uint32_t> fetched;
    MountCache() {
        plan.size = bytes.size();
        for (std::uint32_t i = 0; i < 5; ++i) plan.parts.push_back({i + 1, 5, "m" + std::to_string(i), i * 10u, 10, ""});
    }
    mount::PartFetcher Fetcher(StoreCode fail = StoreCode::Ok) {
        return [this, fail](const catalog::DownloadPart& part, const fs::path& file) -> catalog::Outcome {
            if (fail != StoreCode::Ok) return {fail, "on demand"};
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

TEST(MountStoreOnce, AResumedStoreSendsOnlyThePartsNotThereYet) {
    TempDir dir;
    mount::Journal journal(dir.path / "pending");
    ASSERT_TRUE(journal.Open());
    testsupport::MemoryStore store;
    mount::PendingStore pending;
    pending.id = journal.NewId();
    pending.folderId = "7";
    pending.name = "data.bin";
    fs::create_directories(journal.DataPath(pending).parent_path());
    std::string bytes(100, 'x');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
    std::ofstream(journal.DataPath(pending), std::ios::binary) << bytes;
    ASSERT_TRUE(journal.Save(pending));

    // Three parts reach the folder, then the mailbox refuses; a fourth had
    // reached the inbox only (a delivery cut off before its move).
    store.storesBeforeRefusal = 4;
    mount::StoredFile stored;
    auto keepGoing = [] { return true; };
    auto run = [&store](const auto& work) { return work(store); };
    EXPECT_EQ(mount::StoreOnce(run, journal, pending, 10, keepGoing, 1, stored).code, StoreCode::TooLarge);
    ASSERT_EQ(store.mails.size(), 4u);
    store.mails.rbegin()->second.info.folderId = "1";
    EXPECT_EQ(journal.Load().at(0).uploadId, pending.uploadId);  // known before the first part left

    pending = journal.Load().at(0);
    ASSERT_TRUE(mount::StoreOnce(run, journal, pending, 10, keepGoing, 1, stored).Ok());
    EXPECT_EQ(store.mails.size(), 10u);
    std::vector<catalog::FileEntry> files;
    ASSERT_TRUE(catalog::ListFiles(store, "7", files).Ok());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].Whole());
    EXPECT_EQ(files[0].present.size(), 10u);
    EXPECT_EQ(stored.mailIds.size(), 10u);
    EXPECT_EQ(files[0].key, stored.mailIds[0]);
    ASSERT_TRUE(catalog::GetFile(store, files[0].key, dir.path / "back").Ok());
    std::ifstream back(dir.path / "back", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}), bytes);

    // Stored already: a third run (a crash before the entry went) sends nothing.
    ASSERT_TRUE(mount::StoreOnce(run, journal, pending, 10, keepGoing, 1, stored).Ok());
    EXPECT_EQ(store.mails.size(), 10u);

    // Other bytes under the same entry (changed after a try): the parts of
    // that try go to the trash, nothing of it stays behind.
    std::ofstream(journal.DataPath(pending), std::ios::binary) << bytes.substr(0, 55);
    ASSERT_TRUE(mount::StoreOnce(run, journal, pending, 10, keepGoing, 1, stored).Ok());
    ASSERT_TRUE(catalog::ListFiles(store, "7", files).Ok());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].parts, 6u);
    ASSERT_TRUE(catalog::ListFiles(store, "4", files).Ok());
    EXPECT_EQ(files.size(), 1u);
}

}  // namespace
