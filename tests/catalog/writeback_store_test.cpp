// Storing a journalled file exactly once, against the in-memory mailbox: a
// resumed store sends only the parts not there yet, a file changed while
// stored is never called stored, and only this upload's own parts are taken
// or trashed beside mails of another upload under the same name.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "catalog/journal.h"
#include "catalog/writeback_store.h"
#include "memory_store.h"
#include "scratch_files.h"

namespace {

namespace fs = std::filesystem;
using catalog::StoreCode;

class WriteBackStore : public ::testing::Test {
protected:
    testsupport::ScratchDir scratch;
    const fs::path dir = scratch.path;
    catalog::Journal journal{dir / "pending"};
    testsupport::MemoryStore store;
    catalog::StoredFile stored;
    std::function<bool()> keepGoing = [] { return true; };

    void SetUp() override { ASSERT_TRUE(journal.Open()); }
    catalog::PendingStore Pending(const std::string& bytes) {
        catalog::PendingStore pending;
        pending.id = journal.NewId();
        pending.folderId = "7";
        pending.name = "data.bin";
        testsupport::WriteFile(journal.DataPath(pending), bytes);
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

TEST_F(WriteBackStore, AResumedStoreSendsOnlyThePartsNotThereYet) {
    std::string bytes(100, 'x');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
    catalog::PendingStore pending = Pending(bytes);
    // Three parts reach the folder, then the mailbox refuses; a fourth had
    // reached the inbox only (a delivery cut off before its move).
    store.storesBeforeRefusal = 4;
    EXPECT_EQ(Store(pending, 10).code, StoreCode::TooLarge);
    ASSERT_EQ(store.mails.size(), 4u);
    store.mails.rbegin()->second.info.folderId = "1";
    EXPECT_EQ(journal.Load().at(0).uploadId, pending.uploadId);  // known before the first part left

    // The file read back whole: WritebackQueue's test.
    pending = journal.Load().at(0);
    ASSERT_TRUE(Store(pending, 10).Ok());
    EXPECT_EQ(store.mails.size(), 10u);
    EXPECT_EQ(stored.mailIds.size(), 10u);
    std::vector<catalog::FileEntry> files;
    ASSERT_TRUE(catalog::ListFiles(store, "7", files).Ok());
    EXPECT_TRUE(files.size() == 1 && files[0].key == stored.mailIds[0]);
    // Other bytes under the same entry: OnlyThisUploadsPartsAreTakenOrTrashed.
}

TEST_F(WriteBackStore, AFileChangedWhileStoredIsNotReportedStored) {
    catalog::PendingStore pending = Pending(std::string(100, 'x'));
    bool grown = false;
    catalog::Outcome outcome = Store(pending, 10, [&] {
        if (!std::exchange(grown, true)) std::ofstream(journal.DataPath(pending), std::ios::app) << "more";
    });
    EXPECT_EQ(outcome.code, StoreCode::LocalFile) << outcome.Text();
}

TEST_F(WriteBackStore, OnlyThisUploadsPartsAreTakenOrTrashed) {
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
