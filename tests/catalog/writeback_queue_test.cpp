// The write-back queue without a file system: journalled files stored
// exactly once through refusals, retries and crashes between its steps.
#include "catalog/writeback_queue.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <utility>

#include "catalog/catalog.h"
#include "memory_store.h"
#include "scratch_files.h"

namespace {

namespace fs = std::filesystem;
using catalog::WritebackQueue;

// One run of a drive: a queue on the journal, its stores one at a time on
// the in-memory mailbox. `crashBeforeRemove`: the run ends after the last
// part was stored but before its journal entry went. `changedWhileStored`:
// the first store done is of an earlier version, so the file is queued again.
struct DriveRun {
    std::mutex guard, storeLock;
    bool crashBeforeRemove = false, changedWhileStored = false;
    catalog::Journal& journal;
    WritebackQueue queue;

    DriveRun(catalog::Journal& journal_, testsupport::MemoryStore& store, bool crash, int retryMs, bool changed = false)
        : crashBeforeRemove(crash),
          changedWhileStored(changed),
          journal(journal_),
          queue(
              guard, journal_,
              [this, &store](const auto& work) {
                  std::lock_guard<std::mutex> hold(storeLock);
                  return work(store);
              },
              Settings(retryMs),
              [this](WritebackQueue::Lock&, const WritebackQueue::EntryPtr& entry, std::uint64_t generation,
                     const catalog::StoredFile& stored) {
                  // What the drive reads the new file back by (its cache, its times).
                  EXPECT_EQ(stored.plan.size, 100u);
                  EXPECT_EQ(stored.plan.parts.size(), stored.mailIds.size());
                  if (std::exchange(changedWhileStored, false)) {
                      queue.SaveAndQueue(entry, 300);  // the wait sees this attempt end first
                      return;
                  }
                  entry->storedGeneration = generation;
                  if (!crashBeforeRemove) journal.Remove(entry->record);
              }) {}

    static catalog::WritebackSettings Settings(int retryMs) {
        catalog::WritebackSettings settings;
        settings.partSize = 10;
        settings.workers = 1;
        settings.firstRetryMs = retryMs;
        settings.longestRetryMs = retryMs;
        settings.longestWaitMs = 20000;
        return settings;
    }
    // Queues what the journal holds (a file closed on the drive is an entry there first).
    catalog::Outcome StoreAll(int tries) {
        auto entries =
            queue.Resume([](const catalog::PendingStore&) { return std::make_shared<catalog::WritebackEntry>(); });
        queue.Start();
        catalog::Outcome outcome;
        for (const auto& entry : entries)
            for (int i = 0; i < tries && !(outcome = queue.WaitStored(entry)).Ok(); ++i) {
            }
        queue.Stop();
        return outcome;
    }
};

TEST(WritebackQueue, StoresEachFileExactlyOnceThroughRefusalsAndCrashes) {
    struct Case {
        const char* what;
        int storesBeforeRefusal;  // -1: none refused
        int triesFirstRun;        // WaitStored calls before the first run ends ("crash")
        bool crashBeforeRemove;
        bool firstRunStores;
        bool changedWhileStored = false;
    } cases[] = {
        {"stored at the first try", -1, 1, false, true},
        {"a wait outlasts a store of an earlier version", -1, 1, false, true, true},
        {"refused, then retried by the same run", 4, 3, false, true},
        {"crash after some parts: the next run sends only the rest", 4, 1, false, false},
        {"crash before the first part left", 0, 1, false, false},
        {"crash after the last part, before the entry went", -1, 1, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::ScratchDir scratch;
        const fs::path& dir = scratch.path;
        catalog::Journal journal(dir / "pending");
        ASSERT_TRUE(journal.Open());
        testsupport::MemoryStore store;
        store.storesBeforeRefusal = c.storesBeforeRefusal;
        catalog::PendingStore pending;
        pending.id = journal.NewId();
        pending.folderId = "7";
        pending.name = "data.bin";
        std::string bytes(100, 'x');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
        testsupport::WriteFile(journal.DataPath(pending), bytes);
        ASSERT_TRUE(journal.Save(pending));

        {
            // A run that "crashes" after one try must not retry meanwhile.
            DriveRun first(journal, store, c.crashBeforeRemove, c.triesFirstRun > 1 ? 10 : 600000,
                           c.changedWhileStored);
            EXPECT_EQ(first.StoreAll(c.triesFirstRun).Ok(), c.firstRunStores);
        }
        // The next run starts from the journal alone.
        EXPECT_TRUE(DriveRun(journal, store, false, 10).StoreAll(3).Ok());
        EXPECT_TRUE(journal.Load().empty());
        EXPECT_EQ(store.mails.size(), 10u) << "a part sent twice or lost";
        std::vector<catalog::FileEntry> files;
        ASSERT_TRUE(catalog::ListFiles(store, "7", files).Ok());
        ASSERT_EQ(files.size(), 1u);
        EXPECT_TRUE(files[0].Whole());
        ASSERT_TRUE(catalog::GetFile(store, files[0].key, dir / "back").Ok());
        EXPECT_EQ(testsupport::ReadFile(dir / "back"), bytes);
    }
}

// A file removed while its store was under way, whose store then failed,
// is handed back to the drive as a store of nothing: it is never queued
// again, so anything waiting for it to go would wait for ever.
TEST(WritebackQueue, AnEntryRemovedWhileItsStoreFailsIsHandedBack) {
    testsupport::ScratchDir scratch;
    catalog::Journal journal(scratch.path / "pending");
    ASSERT_TRUE(journal.Open());
    testsupport::MemoryStore store;
    store.storesBeforeRefusal = 0;
    catalog::PendingStore pending;
    pending.id = journal.NewId();
    pending.folderId = "7";
    pending.name = "gone.bin";
    testsupport::WriteFile(journal.DataPath(pending), "bytes");
    ASSERT_TRUE(journal.Save(pending));
    std::mutex guard;
    std::condition_variable handed;
    int handedBack = 0;
    auto entry = std::make_shared<catalog::WritebackEntry>();
    WritebackQueue queue(
        guard, journal,
        [&](const auto& work) {
            {
                std::lock_guard<std::mutex> hold(guard);  // as an unlink during the store
                entry->removed = true;
            }
            return work(store);
        },
        DriveRun::Settings(10),
        [&](WritebackQueue::Lock&, const WritebackQueue::EntryPtr& back, std::uint64_t, const catalog::StoredFile&) {
            EXPECT_TRUE(back->removed);
            ++handedBack;
            handed.notify_all();
        });
    queue.Resume([&](const catalog::PendingStore&) { return entry; });
    queue.Start();
    {
        std::unique_lock<std::mutex> lock(guard);
        EXPECT_TRUE(handed.wait_for(lock, std::chrono::seconds(20), [&] { return handedBack > 0; }));
    }
    queue.Stop();
    EXPECT_EQ(handedBack, 1);
}

}  // namespace
