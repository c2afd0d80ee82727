// The drive core's guards its own tables leave open: the pool retries a
// broken connection once, not forever; a journal entry never names a path
// outside its folder and ids made in one tick differ; a write-back never
// calls a file stored that changed meanwhile, nor takes or trashes mails of
// another upload under the same name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <set>
#include <utility>

#include "catalog/journal.h"
#include "catalog/store_pool.h"
#include "catalog/writeback_store.h"
#include "memory_store.h"

namespace {

namespace fs = std::filesystem;
using catalog::StoreCode;

TEST(StorePoolRetry, AConnectionThatBreaksAgainEndsTheWork) {
    int runs = 0;
    catalog::StorePool pool(std::make_unique<testsupport::MemoryStore>(), 2, [](auto& store) {
        store = std::make_unique<testsupport::MemoryStore>();
        return catalog::Outcome{};
    });
    auto breaks = [&](catalog::MailStore&) { return ++runs, catalog::Failure(StoreCode::Broken, ""); };
    EXPECT_EQ(pool.Run(breaks).code, StoreCode::Broken);
    EXPECT_EQ(runs, 2);
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

class WriteBackGuards : public ::testing::Test {
protected:
    fs::path dir = fs::path(::testing::TempDir()) / ("vantlo-wbguard-" + std::to_string(::getpid()));
    catalog::Journal journal{dir / "pending"};
    testsupport::MemoryStore store;
    catalog::StoredFile stored;
    std::function<bool()> keepGoing = [] { return true; };

    void SetUp() override { ASSERT_TRUE(journal.Open()); }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(dir, error);
    }
    catalog::PendingStore Pending(const std::string& bytes) {
        catalog::PendingStore pending;
        pending.id = journal.NewId();
        pending.folderId = "7";
        pending.name = "data.bin";
        fs::create_directories(journal.DataPath(pending).parent_path());
        std::ofstream(journal.DataPath(pending), std::ios::binary) << bytes;
        EXPECT_TRUE(journal.Save(pending));
        return pending;
    }
    catalog::Outcome Store(catalog::PendingStore& pending, std::uint64_t partSize,
                           const std::function<void()>& before = {}) {
        auto run = [&](const auto& work) {
            if (before) before();
            return work(store);
        };
        return catalog::StoreOnce(run, journal, pending, partSize, keepGoing, 1, stored);
    }
    std::size_t MailsIn(const std::string& folder) {
        std::vector<catalog::MailInfo> mails;
        store.ListMails(folder, mails);
        return mails.size();
    }
};

TEST_F(WriteBackGuards, AFileChangedWhileStoredIsNotReportedStored) {
    catalog::PendingStore pending = Pending(std::string(100, 'x'));
    bool grown = false;
    catalog::Outcome outcome = Store(pending, 10, [&] {
        if (!std::exchange(grown, true)) std::ofstream(journal.DataPath(pending), std::ios::app) << "more";
    });
    EXPECT_EQ(outcome.code, StoreCode::LocalFile) << outcome.Text();
}

TEST_F(WriteBackGuards, OnlyThisUploadsPartsAreTakenOrTrashed) {
    // A whole earlier version of the name, stored by another upload.
    catalog::PendingStore other = Pending("an earlier version");
    ASSERT_TRUE(Store(other, 1000).Ok());
    // Three parts of this upload arrive, then one turns out to belong to
    // another upload (same name, tag and number) and one is there twice.
    catalog::PendingStore pending = Pending(std::string(100, 'y'));
    store.storesBeforeRefusal = 3;
    EXPECT_FALSE(Store(pending, 10).Ok());
    ASSERT_EQ(MailsIn("7"), 4u);
    auto part = std::next(store.mails.begin());
    std::string& text = part->second.text;
    ASSERT_NE(text.find(pending.uploadId), std::string::npos);
    text.replace(text.find(pending.uploadId), pending.uploadId.size(), std::string(32, 'f'));
    const testsupport::StoredMail twice = std::next(part)->second;
    store.Add(twice.info.folderId, twice.info.subject, twice.bytes, twice.text, twice.attachmentName);
    ASSERT_TRUE(Store(pending, 10).Ok());
    // Ten parts of this upload, the look-alike, the earlier version; the double in the trash.
    EXPECT_EQ(MailsIn("7"), 12u);
    EXPECT_EQ(MailsIn("4"), 1u);
    // New bytes under the entry: its own earlier parts go, the other upload stays.
    std::ofstream(journal.DataPath(pending), std::ios::binary) << "short now";
    ASSERT_TRUE(Store(pending, 10).Ok());
    EXPECT_EQ(store.mails.at("100").info.folderId, "7");
    EXPECT_EQ(MailsIn("4"), 11u);
}

}  // namespace
