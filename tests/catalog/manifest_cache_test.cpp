// Exact sizes of listed files: each key mail read once, then remembered
// in memory and on disk; a reused id, a damaged cache file, a full cache,
// a mail gone meanwhile and a failed read; a key mail whose manifest came
// whole with the listing is not read at all.
#include <gtest/gtest.h>

#include "catalog/catalog.h"
#include "catalog/file_sizes.h"
#include "catalog/sync_times.h"
#include "memory_store.h"
#include "scratch_files.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;

// A file of 40 bytes stored in parts of 16; its own time rides in its manifest.
struct ManifestCacheTest : ::testing::Test {
    testsupport::ScratchDir scratch;
    const fs::path dir = scratch.path;
    testsupport::MemoryStore store;
    PutResult put;
    void SetUp() override {
        testsupport::WriteFile(dir / "forty.bin", std::string(40, 'f'));
        fs::last_write_time(dir / "forty.bin", FileTimeOf(1500000000));
        ASSERT_TRUE(PutFile(store, dir / "forty.bin", "7", {16, {}, {}}, put).Ok());
    }
};

TEST_F(ManifestCacheTest, EachKeyMailIsReadOnceAndRememberedOnDisk) {
    const std::string notes = store.Add("7", "notes.txt", "hello");
    store.Add("7", "bad.txt", "x", "vantlo-file: 1\nname: bad.txt\n");
    const std::string gone = store.Add("7", "gone.txt", "x");

    std::vector<FileEntry> files;
    ASSERT_TRUE(ListFiles(store, "7", files).Ok());
    store.mails.erase(gone);
    ManifestCache cache;
    ASSERT_TRUE(FillFileSizes(store, cache, files).Ok());
    std::string shown;  // name size stored;
    for (const FileEntry& file : files)
        shown += file.name + " " + (file.sizeKnown ? std::to_string(file.size) : "-") + " " +
                 std::to_string(file.storedAt > 1700000000 && file.storedAt < 1700000200) + ";";
    EXPECT_EQ(shown, "bad.txt - 1;forty.bin 40 0;gone.txt - 1;notes.txt 5 1;") << "listed time without a manifest";
    EXPECT_EQ(store.textsRead, 4);

    cache.Save(dir / "cache");
    std::ofstream(dir / "cache", std::ios::app) << "garbage\nid\t0\t1\tSM\tx\t0\n" << put.key << "\tzz\t1\t--\t0\t0\n";
    ManifestCache loaded;
    loaded.Load(dir / "cache");
    EXPECT_EQ(loaded.Size(), 3u) << "the gone mail was not remembered, the bad lines not read";
    KnownFile bad;
    EXPECT_TRUE(loaded.Find(files[0], bad) && bad.damaged && !bad.sizeKnown) << "a damaged manifest stays marked";
    store.mails.at(notes).info.subject = "other.txt";  // the id given out again
    ASSERT_TRUE(ListFiles(store, "7", files).Ok());
    ASSERT_TRUE(FillFileSizes(store, loaded, files).Ok());
    EXPECT_EQ(store.textsRead, 5);
    EXPECT_TRUE(files[1].sizeKnown && files[1].size == 40);
    EXPECT_EQ(files[1].modifiedAt, 1500000000) << "the modification time kept through the cache file";

    ManifestCache small(2);
    store.textsBroken = true;
    EXPECT_EQ(FillFileSizes(store, small, files).code, StoreCode::Broken);
    store.textsBroken = false;
    ASSERT_TRUE(FillFileSizes(store, small, files).Ok());
    KnownFile known;
    EXPECT_FALSE(small.Find(files[0], known)) << "the oldest left when the cache was full";
    EXPECT_TRUE(small.Find(files[2], known) && known.sizeKnown && known.size == 5);
}

// What the listing brought of the key mail's text decides whether it is read:
// only a manifest that reads whole spares the read.
TEST_F(ManifestCacheTest, OnlyAManifestListedWholeSparesTheRead) {
    const std::string manifest = store.mails.at(put.key).text;
    const std::string cut = manifest.substr(0, manifest.find("stored:"));
    struct Case {
        bool listed;
        std::string text;
        int reads;
    } cases[] = {
        {true, manifest, 0},
        {true, cut, 1},                          // keys missing: cut at the window, not damaged
        {true, manifest + "x", 0},               // a stray last line is still a whole manifest
        {false, manifest, 1},                    // the store did not say it is whole
        {true, "vantlo-file: 2\nsize: 1\n", 1},  // a version this reader does not know
    };
    for (const Case& c : cases) {
        std::vector<MailInfo> mails;
        ASSERT_TRUE(store.ListMails("7", mails).Ok());
        for (MailInfo& mail : mails)
            if (mail.id == put.key) mail.textListed = c.listed, mail.text = c.text;
        std::vector<FileEntry> files = GroupFiles(mails);
        ManifestCache cache;
        store.textsRead = 0;
        ASSERT_TRUE(FillFileSizes(store, cache, files).Ok());
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(store.textsRead, c.reads) << c.text;
        EXPECT_TRUE(files[0].sizeKnown && files[0].size == 40 && !files[0].damaged && files[0].keyText.empty())
            << c.text;
        KnownFile known;
        EXPECT_TRUE(cache.Find(files[0], known) && known.size == 40) << "remembered like a read manifest";
    }
}

}  // namespace
