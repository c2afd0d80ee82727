// What a stranger can put in the way of a transfer: things planted beside
// the target (links, pipes, directories, files named like our temporary
// files) and look-alike parts mailed into the inbox (damaged manifests:
// the manifest and cache tests). Each case ends with a clear outcome, the
// planted thing untouched, and nothing written outside the target.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "catalog/upload_record.h"
#include "transfers_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;
using testsupport::ReadFile;

unsigned ModeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 01000;
}

struct HostileTest : TransfersTest {
    const fs::path partial = dir / "out.bin.vantlo-partial", record = dir / "out.bin.vantlo-partial.verified",
                   victim = testsupport::WriteFile(dir / "victim", "precious");
};

// Links and other files planted where the temporary file or its record go
// are set aside, never written through, also when the fetch then fails.
TEST_F(HostileTest, ThingsPlantedBesideTheTargetAreSetAsideNeverWrittenThrough) {
    const std::string key = Put().key;
    struct Planted {
        const char* what;
        std::function<void()> plant;
        bool corrupt;  // the stored file fails its check this time
    };
    const Planted cases[] = {
        {"partial links to a file", [&] { fs::create_symlink(victim, partial); }, false},
        {"partial links to a file, fetch fails", [&] { fs::create_symlink(victim, partial); }, true},
        {"record links to a file", [&] { fs::create_symlink(victim, record); }, false},
        {"partial links to nothing yet", [&] { fs::create_symlink(dir / "made", partial); }, false},
        {"partial is a directory", [&] { fs::create_directory(partial); }, false},
        {"partial is a pipe", [&] { ASSERT_EQ(::mkfifo(partial.c_str(), 0600), 0); }, false},
    };
    for (const Planted& c : cases) {
        std::ofstream(target, std::ios::binary) << "old";
        c.plant();
        const std::string kept = store.mails.at(key).bytes;
        if (c.corrupt) store.mails.at(key).bytes[0] ^= 1;
        const GetReport report = Get({{key, target}}).at(0);
        store.mails.at(key).bytes = kept;
        EXPECT_EQ(report.outcome.code, c.corrupt ? StoreCode::Corrupt : StoreCode::Ok) << c.what;
        EXPECT_EQ(ReadFile(target), c.corrupt ? "old" : bytes) << c.what;
        EXPECT_FALSE(fs::is_symlink(target)) << c.what;
        EXPECT_EQ(ReadFile(victim), "precious") << c.what;
        EXPECT_FALSE(fs::exists(dir / "made")) << c.what;
        ASSERT_EQ(report.setAside.size(), 1u) << c.what;
        EXPECT_TRUE(fs::exists(fs::symlink_status(report.setAside[0]))) << c.what << ": moved, not deleted";
        for (const fs::path& aside : report.setAside) fs::remove_all(aside);
        fs::remove(partial), fs::remove(record);
    }
}

// No stored name equals a temporary file's: a target named like one is
// refused, and the file it would have clashed with comes whole.
TEST_F(HostileTest, ATargetNamedLikeATemporaryFileIsRefusedAndLosesNothing) {
    const std::string key = Put().key;
    std::ofstream(dir / "a") << "mine";
    const std::vector<GetReport> reports = Get({{key, dir / "a.vantlo-partial"}, {key, dir / "a"}});
    EXPECT_EQ(reports[0].outcome.code, StoreCode::LocalFile);
    EXPECT_NE(reports[0].outcome.detail.find("kept for the temporary files"), std::string::npos);
    EXPECT_TRUE(reports[1].outcome.Ok()) << reports[1].outcome.Text();
    EXPECT_EQ(ReadFile(dir / "a"), bytes);
    EXPECT_FALSE(fs::exists(dir / "a.vantlo-partial"));
    EXPECT_EQ(Get({{key, dir / "b"}, {key, dir / "b"}})[1].outcome.code, StoreCode::LocalFile) << "one target twice";
    EXPECT_EQ(Get({{key, dir / std::string("victim\0x", 8)}})[0].outcome.code, StoreCode::LocalFile);
    EXPECT_EQ(ReadFile(victim), "precious") << "a NUL never cuts the target's path short";
}

// The partial file is never readable by more than the target is.
TEST_F(HostileTest, ThePartialFileTakesTheTargetsModeFromItsFirstByte) {
    const std::string key = Put().key;
    for (unsigned mode : {0600u, 0640u, 0644u}) {
        std::ofstream(target) << "old";
        fs::permissions(target, static_cast<fs::perms>(mode));
        unsigned seen = 0;
        settings.progress = [&](const TransferProgress&) { seen = ModeOf(partial); };
        ASSERT_TRUE(Get({{key, target}}).at(0).outcome.Ok());
        EXPECT_EQ(seen, mode);
        EXPECT_EQ(ModeOf(target), mode);
    }
    settings.progress = nullptr;  // it wrote to the loop's `seen`
    fs::remove(target);
    ASSERT_TRUE(Get({{key, target}}).at(0).outcome.Ok());
    EXPECT_EQ(ModeOf(target), 0600u) << "a new target is private";
}

// A look-alike part in the inbox (its manifest copied, its bytes not) is
// sent again; a true one is kept, without fetching it when its upload id
// was recorded before it was sent.
TEST_F(HostileTest, APartInTheInboxIsKeptOnlyWhenProvablyOurs) {
    UploadRecordFile kept(dir / "cache" / "acct.uploads");
    struct Case {
        const char* what;
        bool recorded;
        bool forged;  // the attachment is emptied, as a stranger's copy would be
        std::uint32_t alreadyStored, lookAlikes;
        int fetches;
    };
    const Case cases[] = {
        {"forged, not recorded", false, true, 0, 1, 1},
        {"true, not recorded: checked by its bytes", false, false, 1, 0, 1},
        {"true, recorded", true, false, 1, 0, 0},
    };
    for (const Case& c : cases) {
        store.mails.clear();
        settings.record = c.recorded ? &kept : nullptr;
        store.storesBeforeRefusal = 2;
        ASSERT_EQ(Put().outcome.code, StoreCode::TooLarge);
        auto part2 = std::next(store.mails.begin());
        part2->second.info.folderId = "1";  // delivered, never moved
        if (c.forged) part2->second.bytes.clear();
        store.mails.erase(store.mails.begin());  // part 1 gone: only the inbox part is left
        store.fetches = 0;
        const PutReport again = Put();
        EXPECT_TRUE(again.outcome.Ok()) << c.what << ": " << again.outcome.Text();
        EXPECT_EQ(again.alreadyStored, c.alreadyStored) << c.what;
        EXPECT_EQ(again.lookAlikes, c.lookAlikes) << c.what;
        EXPECT_EQ(store.fetches, c.fetches) << c.what;
        ASSERT_TRUE(Get({{again.key, target}}).at(0).outcome.Ok()) << c.what;
        EXPECT_EQ(ReadFile(target), bytes) << c.what;
    }
}

TEST_F(HostileTest, TheUploadRecordIsPrivateAndHoldsOffASecondRun) {
    UploadRecordFile kept(dir / "cache" / "acct.uploads");
    const std::string id(32, 'a');
    EXPECT_FALSE(kept.Holds(id));
    EXPECT_FALSE(kept.Keep("../../x")) << "only upload ids";
    ASSERT_TRUE(kept.Keep(id));
    EXPECT_TRUE(UploadRecordFile(dir / "cache" / "acct.uploads").Holds(id));
    EXPECT_EQ(ModeOf(dir / "cache" / "acct.uploads"), 0600u);
    EXPECT_EQ(ModeOf(dir / "cache"), 0700u);
    std::shared_ptr<void> first = kept.HoldFile("7\nf.bin", {});
    ASSERT_TRUE(first);
    int tries = 0;
    EXPECT_FALSE(kept.HoldFile("7\nf.bin", [&] { return ++tries < 3; })) << "held by the first";
    EXPECT_EQ(tries, 3);
    EXPECT_TRUE(kept.HoldFile("7\nother", {})) << "another file is not held";
    first.reset();
    EXPECT_TRUE(kept.HoldFile("7\nf.bin", {})) << "let go with the first";
}

}  // namespace
