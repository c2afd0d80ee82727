// Known answers for the vault format: every vector here was computed
// outside this code base (Python's cryptography and argon2-cffi, and the
// RFCs' own examples), so that a change to the bytes we write shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "../catalog/scratch_files.h"
#include "vault/base32.h"
#include "vault/crypto_library.h"
#include "vault/key_derivation.h"
#include "vault/names.h"
#include "vault/vault_file.h"
#include "vault_test_support.h"

namespace {

using namespace vault_test;

class VaultFormat : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(vault::StartCryptoLibrary().Ok()); }
};

Bytes Hex(const std::string& text) {
    Bytes bytes;
    EXPECT_TRUE(vault::HexBytes(text, bytes)) << text;
    return bytes;
}

TEST_F(VaultFormat, PrimitivesMatchTheirReferenceVectors) {
    // Argon2id: the reference implementation's example (version 0x13).
    vault::SecretBytes argon;
    ASSERT_TRUE(
        vault::DeriveFromPassphrase("password", Bytes{'s', 'o', 'm', 'e', 's', 'a', 'l', 't'}, {65536, 2, 1}, 32, argon)
            .Ok());
    EXPECT_EQ(vault::HexText(Bytes(argon.data(), argon.data() + 32)),
              "09316115d5cf24ed5a15a31a3ba326e5cf32edc24702987c02b6566f61913cf7");

    // HKDF-SHA256: RFC 5869, test case 1.
    vault::SecretBytes ikm(22);
    std::fill(ikm.data(), ikm.data() + 22, 0x0b);
    vault::SecretBytes okm = vault::ExpandKey(ikm, Range(0, 13), Range(0xf0, 10), 42);
    EXPECT_EQ(vault::HexText(Bytes(okm.data(), okm.data() + 42)),
              "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865");
}

TEST_F(VaultFormat, Base32IsRfc4648LowerCaseUnpadded) {
    const struct {
        const char* plain;
        const char* text;
    } cases[] = {{"", ""},
                 {"f", "my"},
                 {"fo", "mzxq"},
                 {"foo", "mzxw6"},
                 {"foob", "mzxw6yq"},
                 {"fooba", "mzxw6ytb"},
                 {"foobar", "mzxw6ytboi"}};
    for (const auto& c : cases) {
        Bytes plain(c.plain, c.plain + std::strlen(c.plain)), back;
        EXPECT_EQ(vault::Base32Text(plain), c.text);
        ASSERT_TRUE(vault::Base32Bytes(c.text, back)) << c.text;
        EXPECT_EQ(back, plain);
    }
    Bytes upper;
    EXPECT_TRUE(vault::Base32Bytes("MZXW6YTBOI", upper));
    EXPECT_EQ(upper, (Bytes{'f', 'o', 'o', 'b', 'a', 'r'}));
    // Not ours: padding, a digit outside the alphabet, an impossible length,
    // bits left over that are not zero (a second spelling of "f").
    for (const char* bad : {"my======", "mz1q", "m", "mzx", "mzxw6y", "mz"}) {
        Bytes out;
        EXPECT_FALSE(vault::Base32Bytes(bad, out)) << bad;
    }
}

TEST_F(VaultFormat, SealedFilesMatchVectors) {
    const vault::VaultKey key = FixedKey();
    const Bytes fileId = Range(0x10, 16);
    // (One short record: the README's example below.)
    EXPECT_EQ(vault::HexText(Seal(key, fileId, {}, 1)),
              "564e544c4f564631101112131415161718191a1b1c1d1e1f86e0aaf530cef96136c2899bd368880d");
    // Several records, the last short or exactly full; fed whole, by the
    // record and one odd piece at a time: one result.
    const struct {
        std::size_t size;
        const char* sha256;
    } large[] = {{65536 * 2 + 1000, "96e969ea663da2290f039d61f609f6fb44afb7a5a79dea455c31e57382d34f95"},
                 {65536 * 2, "7196fefee3c0b0d56f8510f05a7e1be33f76abcfd30af81582ad396553a9cd4e"}};
    for (const auto& c : large)
        for (std::size_t piece : {c.size, std::size_t{65536}, std::size_t{4099}}) {
            Bytes sealed = Seal(key, fileId, Pattern(c.size), piece);
            EXPECT_EQ(sealed.size(), vault::SealedSize(c.size));
            EXPECT_EQ(testsupport::Sha256Hex(std::string(sealed.begin(), sealed.end())), c.sha256)
                << c.size << " in pieces of " << piece;
        }
}

// The README's worked example, byte for byte. Its header carries the
// synthetic file id: HMAC-SHA256 under the file-id key over the plain
// SHA-256 and the name, cut to 16 bytes (1b92f1ab...).
TEST_F(VaultFormat, ReadmeWorkedExample) {
    const vault::VaultKey key = FixedKey();
    const std::string hello = "hello, vault\n";
    const std::string dir = ::testing::TempDir() + "vantlo-vault-readme";
    std::ofstream(dir + ".plain", std::ios::binary) << hello;
    ASSERT_TRUE(vault::SealFile(key, dir + ".plain", "报告.txt", dir + ".sealed").Ok());
    std::ifstream in(dir + ".sealed", std::ios::binary);
    EXPECT_EQ(vault::HexText(Bytes(std::istreambuf_iterator<char>(in), {})),
              "564e544c4f5646311b92f1ab745a805ecbf3809f1050d7ae5d3da57cb3a46a48e5a7a4c7ad6fea28a49383c798a78d1c2894cf2b"
              "50");
    EXPECT_EQ(vault::NameSealer(key).Seal("报告.txt"), "alcuzor3itdgl6ne4ivumzfm3emwpxi65nuggppf2a");
    std::remove((dir + ".plain").c_str());
    std::remove((dir + ".sealed").c_str());
}

TEST_F(VaultFormat, NamesMatchVectorsAndOpenAgain) {
    const vault::NameSealer names(FixedKey());
    const struct {
        const char* name;
        const char* sealed;
    } cases[] = {{"报告 2026.pdf", "cfwhnxaegml75cgssnxwxlenqefingv3drnrnhbisiu4ld2uky"},
                 {"a", "zgfsh32cnpvjgt6p34pvc5spinfa"}};
    for (const auto& c : cases) {
        EXPECT_EQ(names.Seal(c.name), c.sealed);
        std::string name;
        ASSERT_TRUE(names.Open(c.sealed, name).Ok());
        EXPECT_EQ(name, c.name);
    }
}

TEST_F(VaultFormat, ParametersMadeElsewhereUnlock) {
    const std::string text =
        "vantlo-vault: 1\nvault-id: a0a1a2a3a4a5a6a7a8a9aaabacadaeaf\nkdf: argon2id\nkdf-memory: 1024\n"
        "kdf-passes: 2\nkdf-lanes: 1\nsalt: 303132333435363738393a3b3c3d3e3f\n"
        "wrapped-key: ed971fe6cbe98f4f03de024b942c98a7d556185427cdc9fb06d208a63b4b36be91f772081b14307e\n"
        "check: eee5d6c868e0c0ac0740a36e4ed5d67c65740a9e42c5942a1e1b8ebbaf92e7e8\n";
    vault::VaultParameters parameters;
    ASSERT_TRUE(vault::ParseParameters(text, parameters).Ok());
    EXPECT_EQ(vault::FormatParameters(parameters), text);
    vault::VaultKey key;
    ASSERT_TRUE(vault::UnlockVault(parameters, "correct horse", key).Ok());
    EXPECT_EQ(Bytes(key.Master().data(), key.Master().data() + 32), Range(0, 32));
    EXPECT_EQ(key.VaultId(), Hex("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf"));
}

}  // namespace
