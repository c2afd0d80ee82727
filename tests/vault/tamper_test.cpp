// Sealed bytes and vault mails that were altered, cut, mixed or replayed:
// each must fail to authenticate, name the file and the record, and leave
// nothing at the target.
#include <gtest/gtest.h>

#include <cstring>

#include <fstream>
#include <functional>
#include <utility>

#include "../catalog/scratch_files.h"
#include "vault/crypto_library.h"
#include "vault/names.h"
#include "vault/sealed_stream.h"
#include "vault/vault_file.h"
#include "vault_test_support.h"

namespace {

using namespace vault_test;
namespace fs = std::filesystem;

constexpr std::size_t kSealed = vault::kSealedRecordSize;
constexpr std::size_t kHeader = vault::kHeaderLength;

class VaultTamper : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(vault::StartCryptoLibrary().Ok()); }
    fs::path Write(const std::string& name, const Bytes& bytes) {
        return testsupport::WriteFile(dir_ / name, std::string(bytes.begin(), bytes.end()));
    }
    Bytes Read(const fs::path& path) {
        const std::string bytes = testsupport::ReadFile(path);
        return Bytes(bytes.begin(), bytes.end());
    }

    testsupport::ScratchDir scratch_;
    const fs::path dir_ = scratch_.path;
};

Bytes Cut(const Bytes& bytes, std::size_t from, std::size_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to));
}
Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(VaultTamper, RoundTripsEverySizeThroughFiles) {
    const vault::VaultKey key = FixedKey();
    for (std::size_t size : {0, 1, 65535, 65536, 65537, 3 * 65536 + 7}) {
        const Bytes plain = Pattern(size);
        ASSERT_TRUE(vault::SealFile(key, Write("plain", plain), "f", dir_ / "sealed").Ok());
        EXPECT_EQ(fs::file_size(dir_ / "sealed"), vault::SealedSize(size));
        ASSERT_TRUE(vault::OpenFile(key, dir_ / "sealed", dir_ / "back", "f").Ok()) << size;
        EXPECT_EQ(vault::OpenFile(key, dir_ / "sealed", dir_ / "back2", "g").code, catalog::StoreCode::Corrupt);
        EXPECT_EQ(Read(dir_ / "back"), plain) << size;
        fs::copy_file(dir_ / "sealed", dir_ / "copy", fs::copy_options::overwrite_existing);
        ASSERT_TRUE(vault::OpenFileInPlace(key, dir_ / "copy", dir_ / "back", "f").Ok()) << size;
        EXPECT_EQ(Read(dir_ / "back"), plain) << size;
    }
    // The same name and bytes seal alike (a put run again sends the same
    // ciphertext); another name, or one byte changed, gives another file id.
    const Bytes first = Read(dir_ / "sealed");
    ASSERT_TRUE(vault::SealFile(key, dir_ / "plain", "f", dir_ / "again").Ok());
    EXPECT_EQ(Read(dir_ / "again"), first);
    ASSERT_TRUE(vault::SealFile(key, dir_ / "plain", "g", dir_ / "again").Ok());
    EXPECT_NE(Cut(Read(dir_ / "again"), 8, 24), Cut(first, 8, 24));
    Bytes changed = Pattern(3 * 65536 + 7);
    changed.back() ^= 1;
    ASSERT_TRUE(vault::SealFile(key, Write("plain", changed), "f", dir_ / "again").Ok());
    EXPECT_NE(Cut(Read(dir_ / "again"), 8, 24), Cut(first, 8, 24));
}

// A put seals each part on its own, in any order: together they must be
// the file sealed whole, and nothing past its end reads.
TEST_F(VaultTamper, PartsSealedApartInAnyOrderAreTheWholeFileSealed) {
    const vault::VaultKey key = FixedKey();
    ASSERT_TRUE(vault::SealFile(key, Write("f", Pattern(3 * 65536 + 7)), "f", dir_ / "sealed").Ok());
    const Bytes whole = Read(dir_ / "sealed");
    catalog::StoredForm form;
    ASSERT_TRUE(vault::SealedForm(key)(dir_ / "f", form).Ok());
    EXPECT_EQ(form.name, vault::NameSealer(key).Seal("f"));
    ASSERT_EQ(form.size, whole.size());
    Bytes parts(whole.size());
    constexpr std::size_t kPart = 70001;
    for (std::size_t at = (whole.size() - 1) / kPart * kPart;; at -= kPart) {
        const std::size_t size = std::min(kPart, whole.size() - at);
        ASSERT_TRUE(form.open()->ReadAt(at, reinterpret_cast<char*>(parts.data() + at), size)) << at;
        if (at == 0) break;
    }
    EXPECT_EQ(parts, whole);
    char past[2];
    EXPECT_FALSE(form.open()->ReadAt(whole.size() - 1, past, 2));
}

TEST_F(VaultTamper, AlteredRecordsFailNamingFileAndRecord) {
    const vault::VaultKey key = FixedKey();
    const Bytes plain = Pattern(3 * 65536 + 100);  // records 0..3
    // Each sealed as it is stored: under the synthetic id of its name and bytes.
    auto sealAs = [&key](const Bytes& bytes, const char* name) {
        catalog::Sha256 sha;
        sha.Update(bytes.data(), bytes.size());
        const catalog::Sha256Digest digest = sha.Finish();
        return Seal(key, vault::SyntheticFileId(key, Bytes(digest.begin(), digest.end()), name), bytes, 65536);
    };
    const Bytes a = sealAs(plain, "photo.jpg");
    const Bytes b = sealAs(plain, "b.jpg");  // another file, same bytes
    Bytes earlierPlain = plain;              // the same file before an edit
    earlierPlain[2 * 65536 + 7] ^= 1;
    const Bytes older = sealAs(earlierPlain, "photo.jpg");
    const Bytes wholeOther = sealAs(Pattern(3 * 65536 + 99), "other.jpg");
    ASSERT_TRUE(vault::OpenFile(key, Write("sealed", a), dir_ / "target", "photo.jpg").Ok());
    fs::remove(dir_ / "target");
    auto record = [](const Bytes& sealed, std::size_t n) {
        return Cut(sealed, kHeader + n * kSealed, std::min(sealed.size(), kHeader + (n + 1) * kSealed));
    };
    auto flip = [](Bytes bytes, std::size_t at) {
        bytes[at] ^= 0x04;
        return bytes;
    };
    auto replace = [&](std::size_t n, const Bytes& with) {
        Bytes out = Cut(a, 0, kHeader + n * kSealed);
        return Join(Join(out, with), Cut(a, kHeader + (n + 1) * kSealed, a.size()));
    };
    const struct {
        const char* what;
        Bytes sealed;
        const char* expected;
    } cases[] = {
        {"bit flipped in record 1", flip(a, kHeader + kSealed + 99), "record 1 "},
        {"bit flipped in a tag", flip(a, kHeader + 3 * kSealed + 100 + 3), "record 3 "},
        {"bit flipped in the file id", flip(a, 12), "record 0 "},
        {"record 1 from another file", replace(1, record(b, 1)), "record 1 "},
        {"records 1 and 2 swapped",
         Join(Join(Join(Cut(a, 0, kHeader + kSealed), record(a, 2)), record(a, 1)), record(a, 3)), "record 1 "},
        {"record 2 replayed from an earlier version", replace(2, record(older, 2)), "record 2 "},
        {"last record dropped", Cut(a, 0, kHeader + 3 * kSealed), "record 2 "},
        {"cut inside the last record", Cut(a, 0, a.size() - 1), "record 3 "},
        {"cut inside a tag", Cut(a, 0, kHeader + 3 * kSealed + 10), "cut short after record 3"},
        {"a record appended", Join(a, record(a, 1)), "record 3 "},
        {"cut inside the header", Cut(a, 0, kHeader - 1), "too short"},
        {"not a vault file", flip(a, 0), "not a vault file"},
        {"empty", {}, "too short"},
        {"a whole file stored under another name", wholeOther, "belong to another file"},
    };
    for (const auto& c : cases)
        for (auto open : {vault::OpenFile, vault::OpenFileInPlace}) {
            const fs::path target = dir_ / "target";
            catalog::Outcome outcome = open(key, Write("sealed", c.sealed), target, "photo.jpg");
            EXPECT_EQ(outcome.code, catalog::StoreCode::Corrupt) << c.what;
            EXPECT_NE(outcome.detail.find("photo.jpg: "), std::string::npos) << c.what << ": " << outcome.detail;
            EXPECT_NE(outcome.detail.find(c.expected), std::string::npos) << c.what << ": " << outcome.detail;
            EXPECT_FALSE(fs::exists(target)) << c.what;
            EXPECT_FALSE(fs::exists(dir_ / "target.vantlo-partial")) << c.what;
            EXPECT_EQ(fs::exists(dir_ / "sealed"), open == vault::OpenFile) << c.what;
            fs::remove(target);
        }
    // A target already there stays as it was when the new copy fails.
    Write("target", {1, 2, 3});
    EXPECT_FALSE(vault::OpenFile(key, Write("sealed", flip(a, kHeader + 5)), dir_ / "target", "x").Ok());
    EXPECT_EQ(Read(dir_ / "target"), (Bytes{1, 2, 3}));
    // Another vault's key opens nothing.
    vault::VaultKey other(vault::SecretBytes(32), Range(0xa0, 16));
    EXPECT_EQ(vault::OpenFile(other, Write("sealed", a), dir_ / "t2", "x").code, catalog::StoreCode::Corrupt);
}

TEST_F(VaultTamper, NamesFromElsewhereDoNotOpen) {
    const vault::NameSealer names(FixedKey());
    const vault::NameSealer otherVault(vault::VaultKey(vault::SecretBytes(32), Range(0xa0, 16)));
    const std::string sealed = names.Seal("报告.pdf");
    EXPECT_EQ(names.Seal("报告.pdf"), sealed);  // one name, one subject: found without listing
    EXPECT_NE(names.Seal("报告.PDF"), sealed);
    std::string altered = sealed;
    altered[5] = altered[5] == 'a' ? 'b' : 'a';
    std::string upper = sealed;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string name;
    EXPECT_TRUE(names.Open(upper, name).Ok());  // a mailbox that changed the case
    EXPECT_EQ(name, "报告.pdf");
    for (const std::string& bad : {altered, otherVault.Seal("报告.pdf"), std::string("report.pdf"), std::string("aaaa"),
                                   names.Seal(""), names.Seal(std::string("a\0b", 3)),
                                   names.Seal(std::string(3000, 'n'))}) {  // far longer than any name of ours
        EXPECT_EQ(names.Open(bad, name).code, catalog::StoreCode::Corrupt) << bad;
    }
}

TEST_F(VaultTamper, VaultMailsAlteredOrUnlockedWrongly) {
    const vault::KdfSettings quick{1024, 1, 1};
    vault::VaultParameters parameters;
    vault::VaultKey key;
    ASSERT_TRUE(vault::CreateVault("old phrase", quick, parameters, key).Ok());
    const std::string text = vault::FormatParameters(parameters);
    auto edit = [&text](const std::string& from, const std::string& to) {
        std::string out = text;
        const std::size_t at = out.find(from);
        return at == std::string::npos ? std::string("no such text") : out.replace(at, from.size(), to);
    };
    auto flipHex = [&](const char* field) {
        const std::size_t at = text.find(field) + std::strlen(field) + 3;
        std::string out = text;
        out[at] = out[at] == '0' ? '1' : '0';
        return out;
    };
    using catalog::StoreCode;
    const struct {
        const char* what;
        std::string text;
        const char* passphrase;
        StoreCode expected;
    } cases[] = {
        {"as stored", text, "old phrase", StoreCode::Ok},
        {"CRLF line ends", edit("\n", "\r\n"), "old phrase", StoreCode::Ok},
        {"wrong passphrase", text, "old phrasE", StoreCode::Refused},
        {"salt damaged", flipHex("salt"), "old phrase", StoreCode::Refused},
        {"wrapped key damaged", flipHex("wrapped-key"), "old phrase", StoreCode::Refused},
        {"fewer passes", edit("kdf-passes: 1", "kdf-passes: 2"), "old phrase", StoreCode::Refused},
        {"vault id altered", flipHex("vault-id"), "old phrase", StoreCode::Corrupt},
        {"check altered", flipHex("check"), "old phrase", StoreCode::Corrupt},
        {"a line missing", edit("kdf-lanes: 1\n", ""), "old phrase", StoreCode::Corrupt},
        {"a line twice", text + "kdf: argon2id\n", "old phrase", StoreCode::Corrupt},
        {"an unknown line", text + "name: secret.txt\n", "old phrase", StoreCode::Corrupt},
        {"a later format", edit("vantlo-vault: 1", "vantlo-vault: 2"), "old phrase", StoreCode::Corrupt},
        {"memory beyond bounds", edit("kdf-memory: 1024", "kdf-memory: 1048577"), "old phrase", StoreCode::Corrupt},
        {"passes beyond bounds", edit("kdf-passes: 1", "kdf-passes: 11"), "old phrase", StoreCode::Corrupt},
        {"memory wrapping around 32 bits", edit("kdf-memory: 1024", "kdf-memory: 4294968320"), "old phrase",
         StoreCode::Corrupt},
        {"no lanes at all", edit("kdf-lanes: 1", "kdf-lanes: 0"), "old phrase", StoreCode::Corrupt},
        {"a key cut short", edit("wrapped-key: ", "wrapped-key: 00"), "old phrase", StoreCode::Corrupt},
        {"empty", "", "old phrase", StoreCode::Corrupt},
    };
    for (const auto& c : cases) {
        vault::VaultParameters read;
        vault::VaultKey opened;
        catalog::Outcome outcome = vault::ParseParameters(c.text, read);
        if (outcome.Ok()) outcome = vault::UnlockVault(read, c.passphrase, opened);
        EXPECT_EQ(outcome.code, c.expected) << c.what << ": " << outcome.Text();
        EXPECT_EQ(opened.Unlocked(), c.expected == StoreCode::Ok) << c.what;
    }
}

}  // namespace
