// Files stored and fetched through the in-memory mailbox: byte-exact round
// trips at the part boundaries, every fault a clear failure with the target
// untouched, and moves and removals of all parts.
#include <gtest/gtest.h>

#include <functional>

#include "catalog/catalog.h"
#include "catalog/download.h"
#include "catalog/manifest.h"
#include "catalog/upload.h"
#include "memory_store.h"
#include "scratch_files.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;
using testsupport::ReadFile;
using testsupport::Sha256Hex;

std::string Bytes(std::size_t size) {
    std::string bytes(size, '\0');
    unsigned state = static_cast<unsigned>(size);
    for (char& c : bytes) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
    return bytes;
}

class TransferTest : public ::testing::Test {
protected:
    testsupport::ScratchDir scratch;
    const fs::path dir = scratch.path, target = testsupport::WriteFile(dir / "out.bin", "old");
    testsupport::MemoryStore store;
    PutOptions options{16, {}, {}};
    PutResult result;

    Outcome Put(const std::string& name, const std::string& bytes) {
        return PutFile(store, testsupport::WriteFile(dir / name, bytes), "7", options, result);
    }
    std::string Listed(const std::string& folder) {  // "key parts problems;" per file
        std::vector<FileEntry> files;
        std::string shown = ListFiles(store, folder, files).Ok() ? "" : "failed";
        for (auto& file : files) shown += file.key + " " + std::to_string(file.present.size()) + file.Problems() + ";";
        return shown;
    }
    // Gives a key of a part's manifest a new value; the old line stays under an unknown key.
    void Rewrite(std::uint32_t number, const std::string& key, const std::string& value) {
        std::string& text = Part(number).text;
        text.replace(text.find("\n" + key + ": "), 1, "\n" + key + ": " + value + "\nformer-");
    }
    testsupport::StoredMail& Part(std::uint32_t number) { return store.mails.at(result.storedMailIds.at(number - 1)); }
};

TEST_F(TransferTest, RoundTripsAtThePartBoundariesAndWithoutManifest) {
    for (std::size_t size : {0, 1, 16, 17, 100}) {
        const std::string bytes = Bytes(size);
        std::vector<std::uint64_t> sent;
        options.progress = [&](const TransferProgress& p) {
            if (p.phase == TransferProgress::Phase::Sending) sent.push_back(p.done);
            EXPECT_EQ(p.total, size);
        };
        ASSERT_TRUE(Put("f" + std::to_string(size), bytes).Ok());
        EXPECT_TRUE(std::is_sorted(sent.begin(), sent.end()) && sent.back() == size);

        FileDetails details;
        ASSERT_TRUE(StatFile(store, result.key, details).Ok());
        EXPECT_TRUE(details.entry.Whole() && details.entry.key == result.key && details.sha256 == Sha256Hex(bytes) &&
                    details.entry.present.size() == (size == 0 ? 1 : (size + 15) / 16) && details.size == size);
        EXPECT_TRUE(GetFile(store, result.key, target).Ok() && ReadFile(target) == bytes) << size;
    }
    options.progress = {};
    // What webmail users see of part 3 of f100, and what it carries.
    const std::string tag = Part(3).text.substr(Part(3).text.find("upload-id: ") + 11, 8);
    EXPECT_EQ(Part(3).info.subject + "|" + Part(3).attachmentName, "f100 [part 3 of 7 #" + tag + "]|f100.003");
    for (const std::string line : {"\nparts: 7\n", "\npart: 3\n", "\noffset: 32\n", "\npart-size: 16\n"})
        EXPECT_NE(Part(3).text.find(line), std::string::npos) << line;
    EXPECT_NE(Part(3).text.find("\npart-sha256: " + Sha256Hex(Bytes(100).substr(32, 16)) + "\n"), std::string::npos);

    // Mails stored the old way, without manifest, come back checked by length.
    const std::string old = store.Add("7", "notes.txt", "hello");
    FileDetails details;
    EXPECT_TRUE(StatFile(store, old, details).Ok() && !details.hasManifest && details.size == 5);
    EXPECT_TRUE(GetFile(store, old, target).Ok() && ReadFile(target) == "hello");

    // A part's manifest under a subject without mark is not taken for a whole file.
    ASSERT_TRUE(Put("three", Bytes(40)).Ok());
    const std::string lone = store.Add("7", "three", "x", Part(2).text);
    EXPECT_NE(GetFile(store, lone, target).detail.find("no part mark"), std::string::npos);
}

TEST_F(TransferTest, EveryFaultFailsClearlyAndLeavesTheTargetAlone) {
    const std::vector<std::tuple<const char*, StoreCode, std::function<void()>>> faults = {
        {"part 3 missing", StoreCode::Corrupt, [&] { store.mails.erase(Part(3).info.id); }},
        {"part 2 stored twice", StoreCode::Corrupt, [&] { store.Add("7", Part(2).info.subject, "", Part(2).text); }},
        {"part 4 of 5 (mail", StoreCode::Corrupt, [&] { Part(4).bytes[9] ^= 1; }},
        {"ended after 4 of 6 bytes", StoreCode::Corrupt, [&] { Part(5).bytes.resize(4); }},
        {"holds more bytes", StoreCode::Corrupt, [&] { Part(1).bytes += "x"; }},
        {"gap or an overlap", StoreCode::Corrupt, [&] { Rewrite(2, "offset", "17"); }},
        {"part number differs", StoreCode::Corrupt, [&] { Rewrite(2, "part", "3"); }},
        {"carries no valid manifest", StoreCode::Corrupt, [&] { Part(2).text = "hello"; }},
        {"another upload", StoreCode::Corrupt,
         [&] { Rewrite(3, "upload-id", Part(3).info.subject.substr(19, 8) + std::string(24, '0')); }},
        // A part and its own digest both changed.
        {"as put together does not match", StoreCode::Corrupt,
         [&] { Rewrite(2, "part-sha256", Sha256Hex(Part(2).bytes.assign(16, 'z'))); }},
        {"key ", StoreCode::NotFound, [&] { store.mails.erase(result.key); }},
        {"part 1 of 5", StoreCode::Cancelled, [&] {}},
    };
    for (auto& [expected, code, fault] : faults) {
        ASSERT_TRUE(Put("five", Bytes(70)).Ok());
        fault();
        GetOptions cancelling;
        platform::StopSource stopper;
        cancelling.stop = stopper.Token();
        cancelling.progress = [&](const TransferProgress& p) {
            if (code == StoreCode::Cancelled && p.done >= 10) stopper.RequestStop();
        };
        Outcome outcome = GetFile(store, result.key, target, cancelling);
        EXPECT_TRUE(outcome.code == code && outcome.detail.find(expected) != std::string::npos) << outcome.Text();
        EXPECT_TRUE(ReadFile(target) == "old" && !fs::exists(TemporaryPathFor(target))) << expected;
        store.mails.clear();
    }
}

TEST_F(TransferTest, MovesRemovalsAndFindsTakeEveryPart) {
    ASSERT_TRUE(Put("Movie.mkv", Bytes(40)).Ok() && Put("Movie.mkv", Bytes(20)).Ok());
    const std::string other = result.key;
    ASSERT_TRUE(Put("Movie.mkv", Bytes(40)).Ok());
    store.searchBlind = true;  // the key is then found by scanning the folders
    ASSERT_TRUE(MoveFile(store, Part(2).info.id, "9").Ok());
    store.searchBlind = false;
    EXPECT_EQ(Listed("9"), result.key + " 3;");
    std::vector<FileEntry> files;
    EXPECT_TRUE(FindFiles(store, "movie", "", files).Ok() && files.size() == 3);
    EXPECT_TRUE(FindFiles(store, "part", "", files).Ok() && files.empty());  // marks are not names

    ASSERT_TRUE(RemoveFile(store, other).Ok());
    EXPECT_EQ(Listed("4"), other + " 2;");
}

TEST_F(TransferTest, PutRefusesBeforeSendingAndKeepsWhatWasStored) {
    for (const std::string name : {"tab\there", "x [part 1 of 2 #aaaaaaaa]"})
        EXPECT_EQ(Put(name, "abc").code, StoreCode::Refused) << name;
    EXPECT_EQ(PutFile(store, dir / "absent", "7", options, result).code, StoreCode::LocalFile);
    EXPECT_TRUE(store.mails.empty());
    int reports = 0;  // stopped once part 1 is stored
    platform::StopSource stopper;
    options.stop = stopper.Token();
    options.progress = [&](const TransferProgress& p) {
        if (p.phase == TransferProgress::Phase::Sending && ++reports == 2) stopper.RequestStop();
    };
    EXPECT_TRUE(Put("five", Bytes(70)).Text() == "cancelled: part 1 of 5 of five" && store.mails.size() == 1);
    options.progress = {};
    options.stop = {};
    store.mails.clear();

    store.storesBeforeRefusal = 2;
    Outcome outcome = Put("five", Bytes(70));
    EXPECT_TRUE(outcome.code == StoreCode::TooLarge && outcome.detail.find("part 3 of 5 of five") == 0 &&
                result.storedMailIds.size() == 2)
        << outcome.Text();
    EXPECT_EQ(Listed("7"), result.key + " 2parts 3-5 missing;");
}

TEST_F(TransferTest, PlansFilesBeyondTwoGibibytes) {
    const fs::path sparse = dir / "sparse";
    testsupport::WriteFile(sparse, "");
    fs::resize_file(sparse, (std::uint64_t(1) << 31) + 1);
    UploadPlan plan;
    ASSERT_TRUE(PlanUpload(sparse, kLargestPart, {}, {}, plan).Ok());
    ASSERT_EQ(plan.parts.size(), 2u);
    EXPECT_TRUE(plan.parts[1].offset == kLargestPart && plan.parts[1].sha256 == Sha256Hex({'\0', '\0'}));
    EXPECT_EQ(plan.sha256, "b8030a8ab89280935633d8d991da3d9907c0f12e8b6fc3bfc515f4d440872b6e");
}

}  // namespace
