// A vault file fetched in parts that split its records (50,000-byte parts,
// 65,552-byte sealed records: every record spans a seam): opened as the
// parts arrive, resumed with what a stopped run kept whole, and refused,
// naming the file and the part, when a part is swapped, replayed from an
// earlier version or cut.
#include <gtest/gtest.h>

#include "../catalog/memory_store.h"
#include "../catalog/scratch_files.h"
#include "catalog/download.h"
#include "vault/crypto_library.h"
#include "vault/sealed_files.h"
#include "vault_test_support.h"

namespace {

using namespace vault_test;
namespace fs = std::filesystem;

class VaultGet : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(vault::StartCryptoLibrary().Ok());
        settings.partSize = 50000;
    }
    // Stores `plain` as "f"; its parts' mail ids in order.
    std::vector<std::string> Put(const Bytes& plain) {
        testsupport::WriteFile(dir / "f", std::string(plain.begin(), plain.end()));
        const std::map<std::string, testsupport::StoredMail> before = store.mails;
        std::vector<catalog::PutReport> reports;
        EXPECT_TRUE(vault::PutSealedFiles(store, key, {dir / "f"}, "7", dir, settings, reports).Ok());
        std::vector<std::string> ids;
        for (const auto& [id, mail] : store.mails)
            if (!before.count(id)) ids.push_back(id);
        std::sort(ids.begin(), ids.end(),
                  [](const std::string& a, const std::string& b) { return std::stoi(a) < std::stoi(b); });
        return ids;
    }
    catalog::GetReport Get() {
        catalog::GetReport report;
        report.outcome = vault::GetSealedFile(store, key, "7", "f", dir / "back", settings, report);
        return report;
    }

    testsupport::ScratchDir scratch;
    const fs::path dir = scratch.path;
    testsupport::MemoryStore store;
    const vault::VaultKey key = FixedKey();
    catalog::TransferSettings settings;
};

TEST_F(VaultGet, PartsSplittingRecordsOpenResumeAndFailNamingThePart) {
    Bytes earlier = Pattern(3 * 65536 + 100);  // sealed: 4 parts
    earlier[2 * 65536 + 7] ^= 1;
    std::vector<std::string> ids = Put(earlier);
    std::vector<std::string> older;
    for (const std::string& id : ids) older.push_back(store.mails.at(id).bytes), store.mails.erase(id);
    const Bytes plain = Pattern(3 * 65536 + 100);
    ids = Put(plain);
    ASSERT_EQ(ids.size(), 4u);

    // Stopped inside part 3 once record 1 (parts 2 and 3) is whole: parts 1
    // and 2 are kept, unless a byte of record 1 was lost on disk meanwhile.
    platform::StopSource stopper;
    settings.stop = stopper.Token();
    settings.progress = [&](const catalog::TransferProgress& p) {
        if (p.done >= 135000) stopper.RequestStop();
    };
    EXPECT_EQ(Get().outcome.code, catalog::StoreCode::Cancelled);
    const catalog::GetReport again = Get();
    EXPECT_TRUE(again.outcome.code == catalog::StoreCode::Cancelled && again.alreadyVerified == 2u);
    const fs::path partial = catalog::TemporaryPathFor(dir / "back");
    std::fstream(partial, std::ios::in | std::ios::out | std::ios::binary).seekp(70000).put('!');
    settings = {};
    settings.partSize = 50000;
    catalog::GetReport resumed = Get();
    ASSERT_TRUE(resumed.outcome.Ok()) << resumed.outcome.Text();
    EXPECT_EQ(resumed.alreadyVerified, 1u) << "part 2 held a damaged byte";
    EXPECT_EQ(testsupport::ReadFile(dir / "back"), std::string(plain.begin(), plain.end()));
    EXPECT_FALSE(fs::exists(partial));

    const std::string part2 = store.mails.at(ids[1]).bytes, part3 = store.mails.at(ids[2]).bytes;
    const std::string part4 = store.mails.at(ids[3]).bytes;
    const struct {
        const char* what;
        std::size_t part;
        std::string bytes;
        const char* expected;
    } cases[] = {
        {"parts 2 and 3 swapped", 1, part3, "f: part 2 of 4 (mail " /* record 0 ends in it */},
        {"part 3 from an earlier version", 2, older[2], "f: part 3 of 4 (mail "},
        {"part 4 cut short", 3, part4.substr(0, part4.size() - 1), "f: part 4 of 4 (mail "},
    };
    const char* records[] = {"): record 0 does not authenticate", "): record 1 does not authenticate", "ended after"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        fs::remove(dir / "back");
        store.mails.at(ids[c.part]).bytes = c.bytes;
        if (c.part == 1) store.mails.at(ids[2]).bytes = part2;
        const catalog::Outcome outcome = Get().outcome;
        EXPECT_EQ(outcome.code, catalog::StoreCode::Corrupt) << c.what;
        EXPECT_EQ(outcome.detail.rfind(c.expected, 0), 0u) << c.what << ": " << outcome.detail;
        EXPECT_NE(outcome.detail.find(records[i]), std::string::npos) << c.what << ": " << outcome.detail;
        EXPECT_FALSE(fs::exists(dir / "back") || fs::exists(partial)) << c.what;
        store.mails.at(ids[1]).bytes = part2, store.mails.at(ids[2]).bytes = part3,
        store.mails.at(ids[3]).bytes = part4;
    }
}

}  // namespace
