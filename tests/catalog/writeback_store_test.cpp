// Storing a journalled file exactly once, against the in-memory mailbox.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "catalog/journal.h"
#include "catalog/writeback_store.h"
#include "memory_store.h"

namespace {

namespace fs = std::filesystem;
using catalog::StoreCode;

struct TempDir {
    fs::path path = fs::path(::testing::TempDir()) / ("vantlo-writeback-" + std::to_string(::getpid()));
    TempDir() { fs::create_directories(path); }
    ~TempDir() {
        std::error_code error;
        fs::remove_all(path, error);
    }
};

TEST(WriteBackStore, AResumedStoreSendsOnlyThePartsNotThereYet) {
    TempDir dir;
    catalog::Journal journal(dir.path / "pending");
    ASSERT_TRUE(journal.Open());
    testsupport::MemoryStore store;
    catalog::PendingStore pending;
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
    catalog::StoredFile stored;
    auto keepGoing = [] { return true; };
    auto run = [&store](const auto& work) { return work(store); };
    EXPECT_EQ(catalog::StoreOnce(run, journal, pending, 10, keepGoing, 1, stored).code, StoreCode::TooLarge);
    ASSERT_EQ(store.mails.size(), 4u);
    store.mails.rbegin()->second.info.folderId = "1";
    EXPECT_EQ(journal.Load().at(0).uploadId, pending.uploadId);  // known before the first part left

    pending = journal.Load().at(0);
    ASSERT_TRUE(catalog::StoreOnce(run, journal, pending, 10, keepGoing, 1, stored).Ok());
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
    ASSERT_TRUE(catalog::StoreOnce(run, journal, pending, 10, keepGoing, 1, stored).Ok());
    EXPECT_EQ(store.mails.size(), 10u);

    // Other bytes under the same entry (changed after a try): the parts of
    // that try go to the trash, nothing of it stays behind.
    std::ofstream(journal.DataPath(pending), std::ios::binary) << bytes.substr(0, 55);
    ASSERT_TRUE(catalog::StoreOnce(run, journal, pending, 10, keepGoing, 1, stored).Ok());
    ASSERT_TRUE(catalog::ListFiles(store, "7", files).Ok());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].parts, 6u);
    ASSERT_TRUE(catalog::ListFiles(store, "4", files).Ok());
    EXPECT_EQ(files.size(), 1u);
}

}  // namespace
