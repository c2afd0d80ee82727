// A vault file fetched in parts that split its records (50,000-byte parts,
// 65,552-byte sealed records: every record spans a seam): opened as the
// parts arrive, resumed with what a stopped run kept whole, and refused,
// naming the file and the part, when a part is swapped, replayed from an
// earlier version or cut, or when every part is of a file of another name.
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
    // Stores `plain` as `name`; its parts' mail ids in order.
    std::vector<std::string> Put(const Bytes& plain, const std::string& name) {
        testsupport::WriteFile(dir / name, std::string(plain.begin(), plain.end()));
        const std::map<std::string, testsupport::StoredMail> before = store.mails;
        std::vector<catalog::PutReport> reports;
        EXPECT_TRUE(vault::PutSealedFiles(store, key, {dir / name}, "7", dir, settings, reports).Ok());
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
    const Bytes plain = Pattern(3 * 65536 + 100);  // sealed: 4 parts
    Bytes earlier = plain;
    earlier[2 * 65536 + 7] ^= 1;
    // The parts of an earlier version, and of the same bytes under another name.
    std::vector<std::string> older, other;
    auto keep = [this](const Bytes& bytes, const std::string& name, std::vector<std::string>& kept) {
        for (const std::string& id : Put(bytes, name)) kept.push_back(store.mails.at(id).bytes), store.mails.erase(id);
    };
    keep(earlier, "f", older);
    keep(plain, "g", other);
    const std::vector<std::string> ids = Put(plain, "f");
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

    std::vector<std::string> now;
    for (const std::string& id : ids) now.push_back(store.mails.at(id).bytes);
    std::vector<std::string> cut = now, swapped = now, replayed = now;
    cut[3].pop_back();
    std::swap(swapped[1], swapped[2]);
    replayed[2] = older[2];
    const struct {
        const char* what;
        std::vector<std::string> parts;
        const char* starts;
        const char* holds;
    } cases[] = {
        {"parts 2 and 3 swapped", swapped, "f: part 2 of 4 (mail ", "): record 0 does not authenticate"},
        {"part 3 from an earlier version", replayed, "f: part 3 of 4 (mail ", "): record 1 does not authenticate"},
        {"part 4 cut short", cut, "f: part 4 of 4 (mail ", "ended after"},
        {"every part from a file of another name", other, "f: its records are authentic", "belong to another file"},
    };
    for (const auto& c : cases) {
        fs::remove(dir / "back");
        for (std::size_t k = 0; k < ids.size(); ++k) store.mails.at(ids[k]).bytes = c.parts[k];
        const catalog::Outcome outcome = Get().outcome;
        EXPECT_EQ(outcome.code, catalog::StoreCode::Corrupt) << c.what;
        EXPECT_EQ(outcome.detail.rfind(c.starts, 0), 0u) << c.what << ": " << outcome.detail;
        EXPECT_NE(outcome.detail.find(c.holds), std::string::npos) << c.what << ": " << outcome.detail;
        EXPECT_FALSE(fs::exists(dir / "back") || fs::exists(partial)) << c.what;
    }
}

}  // namespace
