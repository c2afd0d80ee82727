// Interrupted transfers through the in-memory mailbox, run again: a put
// keeps what an earlier run stored (parts in the folder, and a part left
// in the inbox is moved, not sent), a get keeps only parts that still
// match their SHA-256, and the target is untouched until the end.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "catalog/download.h"
#include "catalog/transfers.h"
#include "memory_store.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;

class ResumeTest : public ::testing::Test {
protected:
    const fs::path dir = fs::path(::testing::TempDir()) / "catalog-resume";
    const fs::path source = dir / "f.bin", target = dir / "out.bin";
    testsupport::MemoryStore store;
    TransferSettings settings{1, 10, {}};
    std::string bytes;

    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (int i = 0; i < 75; ++i) bytes.push_back(static_cast<char>(i * 7 + 1));  // 8 parts of 10
        std::ofstream(source, std::ios::binary) << bytes;
        std::ofstream(target, std::ios::binary) << "old";
    }
    void TearDown() override { fs::remove_all(dir); }
    static std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    PutReport Put() {
        std::vector<PutReport> reports;
        PutFiles(store, {source}, "7", settings, reports);
        return reports.at(0);
    }
    GetReport Get(const std::string& key) {
        std::vector<GetReport> reports;
        GetFiles(store, {{key, target}}, settings, reports);
        return reports.at(0);
    }
    std::size_t InFolder(const std::string& folder) {
        std::size_t n = 0;
        for (auto& [id, mail] : store.mails) n += mail.info.folderId == folder;
        return n;
    }
};

TEST_F(ResumeTest, APutKeepsWhatWasStoredAndMovesWhatWaitsInTheInbox) {
    store.storesBeforeRefusal = 3;
    EXPECT_EQ(Put().outcome.code, StoreCode::TooLarge);
    ASSERT_EQ(InFolder("7"), 3u);
    store.mails.rbegin()->second.info.folderId = "1";  // delivered, never moved
    PutReport again = Put();
    ASSERT_TRUE(again.outcome.Ok()) << again.outcome.Text();
    EXPECT_EQ(again.alreadyStored, 3u);
    EXPECT_EQ(InFolder("7"), 8u) << "each part once";
    EXPECT_EQ(InFolder("1"), 0u);

    PutReport whole = Put();
    EXPECT_EQ(whole.alreadyStored, 8u) << "a file stored whole is not stored again";
    EXPECT_EQ(whole.key, again.key);
    EXPECT_EQ(InFolder("7"), 8u);

    // A file of the same name with other bytes shares nothing with it.
    bytes[0] ^= 1;
    std::ofstream(source, std::ios::binary) << bytes;
    EXPECT_EQ(Put().alreadyStored, 0u);
    EXPECT_EQ(InFolder("7"), 16u);
}

TEST_F(ResumeTest, AGetKeepsOnlyPartsThatStillMatchAndReplacesTheTargetLast) {
    const std::string key = Put().key;
    settings.progress = [](const TransferProgress& p) { return p.done < 35; };
    EXPECT_EQ(Get(key).outcome.code, StoreCode::Cancelled);
    EXPECT_EQ(Read(target), "old");
    const fs::path temporary = TemporaryPathFor(target);
    ASSERT_TRUE(fs::exists(VerifiedRecordPath(temporary)));

    // A kept part damaged on disk is fetched again, never trusted.
    std::fstream damage(temporary, std::ios::in | std::ios::out | std::ios::binary);
    damage.seekp(12);
    damage.put('!');
    damage.close();
    settings.progress = {};
    GetReport again = Get(key);
    ASSERT_TRUE(again.outcome.Ok()) << again.outcome.Text();
    EXPECT_EQ(again.alreadyVerified, 2u) << "parts 1 and 3 kept; 2 was damaged";
    EXPECT_EQ(Read(target), bytes);
    EXPECT_FALSE(fs::exists(temporary) || fs::exists(VerifiedRecordPath(temporary)));

    // A corrupt part on the provider's side: clear failure, nothing kept, target untouched.
    store.mails.at(key).bytes[0] ^= 1;
    std::ofstream(target, std::ios::binary) << "old";
    EXPECT_EQ(Get(key).outcome.code, StoreCode::Corrupt);
    EXPECT_EQ(Read(target), "old");
    EXPECT_FALSE(fs::exists(temporary));
}

}  // namespace
