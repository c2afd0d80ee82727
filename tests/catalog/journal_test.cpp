// The write-back journal: entries round-trip whatever their values hold, a
// name never leaves its folder, ids made in one tick differ, and a load
// keeps only whole entries with their data.
#include <gtest/gtest.h>

#include <set>

#include "catalog/journal.h"
#include "scratch_files.h"

namespace {

namespace fs = std::filesystem;

TEST(Journal, EntriesRoundTripAndLoadKeepsOnlyWholeOnes) {
    testsupport::ScratchDir dir;
    catalog::Journal journal(dir.path / "pending");
    ASSERT_TRUE(journal.Open());
    catalog::PendingStore store;
    store.id = journal.NewId();
    store.folderId = "Files\\2026\nx";
    store.name = "line\\break\r.txt";
    store.replaces = {"m1", "m2"};
    store.modifiedNs = 1700000000123456789;
    store.partSize = 1 << 20;
    store.uploadId = std::string(32, 'a');
    store.sha256 = std::string(64, 'b');
    store.stored = 1700000000;
    testsupport::WriteFile(journal.DataPath(store), "bytes");
    ASSERT_TRUE(journal.Save(store));

    catalog::PendingStore orphan = store, unclosed = store;
    orphan.id = journal.NewId();  // an entry whose data is gone
    testsupport::WriteFile(journal.DataPath(orphan), "x");
    ASSERT_TRUE(journal.Save(orphan));
    fs::remove(journal.DataPath(orphan));
    unclosed.id = journal.NewId();  // data never closed: no entry
    fs::create_directories(journal.DataPath(unclosed).parent_path());
    std::ofstream(dir.path / "pending" / "broken.entry") << "vantlo-pending: 1\nname: \\q\n";

    auto loaded = journal.Load();
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(catalog::WriteEntry(loaded[0]), catalog::WriteEntry(store));
    EXPECT_EQ(loaded[0].id, store.id);
    EXPECT_FALSE(fs::exists(dir.path / "pending" / unclosed.id));
    EXPECT_FALSE(fs::exists(dir.path / "pending" / "broken.entry"));
    journal.Remove(loaded[0]);
    EXPECT_TRUE(journal.Load().empty());
    EXPECT_TRUE(fs::exists(dir.path / "pending"));
}

TEST(JournalEntries, NamesLeavingTheFolderAreRefusedAndIdsNeverRepeat) {
    for (const char* name : {"a/b", "..", ".", "/x"}) {
        catalog::PendingStore store, read;
        store.id = "i";
        store.folderId = "7";
        store.name = name;
        EXPECT_FALSE(catalog::ReadEntry(catalog::WriteEntry(store), read)) << name;
    }
    catalog::Journal journal(fs::path(::testing::TempDir()) / "vantlo-ids");
    std::set<std::string> ids;
    for (int i = 0; i < 2000; ++i) ids.insert(journal.NewId());
    EXPECT_EQ(ids.size(), 2000u);
}

}  // namespace
