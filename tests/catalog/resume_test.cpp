// Interrupted transfers through the in-memory mailbox, run again: a put
// keeps what an earlier run stored (a part left in the inbox is moved, not
// sent), a get keeps only parts that still match their SHA-256, and the
// target is untouched until the end.
#include <gtest/gtest.h>

#include "transfers_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;

struct ResumeTest : TransfersTest {
    std::string got;  // the target after the last Fetch
    GetReport Fetch(const std::string& key) {
        GetReport report = Get({{key, target}}).at(0);
        got = testsupport::ReadFile(target);
        return report;
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
    EXPECT_EQ(Fetch(key).outcome.code, StoreCode::Cancelled);
    EXPECT_EQ(got, "old");
    // A kept part damaged on disk is fetched again, never trusted.
    std::fstream(TemporaryPathFor(target), std::ios::in | std::ios::out | std::ios::binary).seekp(12).put('!');
    settings.progress = {};
    settings.stop = {};
    EXPECT_EQ(Fetch(key).alreadyVerified, 2u) << "parts 1 and 3 kept; 2 was damaged";
    EXPECT_TRUE(got == bytes);
    EXPECT_FALSE(fs::exists(TemporaryPathFor(target)) || fs::exists(TemporaryPathFor(target).string() + ".verified"));
    // A part corrupt in the mailbox: a clear failure, nothing kept, the target untouched.
    store.mails.at(key).bytes[0] ^= 1;
    EXPECT_EQ(Fetch(key).outcome.code, StoreCode::Corrupt);
    EXPECT_TRUE(got == bytes && !fs::exists(TemporaryPathFor(target)));
}

}  // namespace
