// Interrupted transfers through the in-memory mailbox, run again: a put
// keeps what an earlier run stored (a part left in the inbox is moved, not
// sent), a get keeps only parts that still match their SHA-256, and the
// target is untouched until the end.
#include <gtest/gtest.h>

#include "catalog/download.h"
#include "catalog/transfers.h"
#include "memory_store.h"
#include "scratch_files.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;

struct ResumeTest : ::testing::Test {
    testsupport::ScratchDir scratch;
    const fs::path source = scratch.path / "f.bin", target = testsupport::WriteFile(scratch.path / "out.bin", "old");
    testsupport::MemoryStore store;
    TransferSettings settings{1, 10, {}, {}};
    std::string bytes = std::string(75, 'b');  // 8 parts of 10

    void SetUp() override {
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 1);
        testsupport::WriteFile(source, bytes);
    }
    PutReport Put() {
        std::vector<PutReport> reports;
        PutFiles(store, {source}, "7", settings, reports);
        return reports.at(0);
    }
    GetReport Get(const std::string& key) {
        std::vector<GetReport> reports;
        GetFiles(store, {{key, target}}, settings, reports);
        got = testsupport::ReadFile(target);
        return reports.at(0);
    }
    std::size_t InFolder(const std::string& folder) {
        std::size_t n = 0;
        for (auto& [id, mail] : store.mails) n += mail.info.folderId == folder;
        return n;
    }
    std::string got;
};

TEST_F(ResumeTest, APutKeepsWhatWasStoredAndMovesWhatWaitsInTheInbox) {
    store.storesBeforeRefusal = 3;
    EXPECT_EQ(Put().outcome.code, StoreCode::TooLarge);
    store.mails.rbegin()->second.info.folderId = "1";  // part 3 delivered, never moved
    PutReport again = Put();
    EXPECT_TRUE(again.outcome.Ok() && again.alreadyStored == 3) << again.outcome.Text();
    EXPECT_TRUE(InFolder("7") == 8 && InFolder("1") == 0) << "each part once, in the folder";
    PutReport whole = Put();
    EXPECT_TRUE(whole.alreadyStored == 8 && whole.key == again.key && InFolder("7") == 8) << "not stored again";
    // Changed since in its last part: the stored upload's first seven parts are not this file's.
    bytes[70] ^= 1;
    testsupport::WriteFile(source, bytes);
    PutReport changed = Put();
    EXPECT_TRUE(changed.outcome.Ok() && changed.alreadyStored == 0 && InFolder("7") == 16) << changed.outcome.Text();
}

TEST_F(ResumeTest, AGetKeepsOnlyPartsThatStillMatchAndReplacesTheTargetLast) {
    const std::string key = Put().key;
    platform::StopSource stopper;
    settings.stop = stopper.Token();
    settings.progress = [&](const TransferProgress& p) {
        if (p.done >= 35) stopper.RequestStop();
    };
    EXPECT_EQ(Get(key).outcome.code, StoreCode::Cancelled);
    EXPECT_EQ(got, "old");
    // A kept part damaged on disk is fetched again, never trusted.
    std::fstream(TemporaryPathFor(target), std::ios::in | std::ios::out | std::ios::binary).seekp(12).put('!');
    settings.progress = {};
    settings.stop = {};
    EXPECT_EQ(Get(key).alreadyVerified, 2u) << "parts 1 and 3 kept; 2 was damaged";
    EXPECT_TRUE(got == bytes);
    EXPECT_FALSE(fs::exists(TemporaryPathFor(target)) || fs::exists(TemporaryPathFor(target).string() + ".verified"));
    // A part corrupt in the mailbox: a clear failure, nothing kept, the target untouched.
    store.mails.at(key).bytes[0] ^= 1;
    EXPECT_EQ(Get(key).outcome.code, StoreCode::Corrupt);
    EXPECT_TRUE(got == bytes && !fs::exists(TemporaryPathFor(target)));
}

}  // namespace
