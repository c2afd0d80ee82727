// A reader written from README.md's description alone (open_vault.py,
// Python's cryptography and argon2-cffi) opens what this code seals, and
// refuses it once altered: the format is what the README says.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <unistd.h>

#include "vault/crypto_library.h"
#include "vault/names.h"
#include "vault/vault_file.h"
#include "vault_test_support.h"

namespace {

using namespace vault_test;
namespace fs = std::filesystem;

// Runs the command; its standard output, and whether it exited with 0.
bool RunCommand(const std::string& command, std::string& output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char buffer[512];
    output.clear();
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
    return pclose(pipe) == 0;
}

TEST(VaultIndependentReader, OpensWhatWeSealAndRefusesItAltered) {
    ASSERT_TRUE(vault::StartCryptoLibrary().Ok());
    const fs::path dir = fs::temp_directory_path() / ("vantlo-vault-reader-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string passphrase = "tea 茶 & \"quotes\"";
    ::setenv("VANTLO_VAULT_PASSPHRASE", passphrase.c_str(), 1);
    vault::VaultParameters parameters;
    vault::VaultKey key;
    ASSERT_TRUE(vault::CreateVault(passphrase, {1024, 2, 1}, parameters, key).Ok());
    std::ofstream(dir / "vault.txt") << vault::FormatParameters(parameters);
    const std::string script = std::string(VANTLO_VAULT_TEST_DIR) + "/open_vault.py";

    enum Fault { kNone, kBitFlipped, kOtherName };
    const struct {
        const char* name;
        std::size_t size;
        Fault fault;
    } cases[] = {{"报告 2026.pdf", 3 * 65536 + 5, kNone},
                 {"empty", 0, kNone},
                 {"exact", 65536, kNone},
                 {"altered", 70000, kBitFlipped},
                 {"shown under another name", 70000, kOtherName}};
    for (const auto& c : cases) {
        const Bytes plain = Pattern(c.size);
        std::ofstream(dir / "plain", std::ios::binary)
            .write(reinterpret_cast<const char*>(plain.data()), static_cast<std::streamsize>(plain.size()));
        ASSERT_TRUE(vault::SealFile(key, dir / "plain", c.name, dir / "sealed").Ok());
        if (c.fault == kBitFlipped) {
            std::fstream f(dir / "sealed", std::ios::binary | std::ios::in | std::ios::out);
            f.seekp(100);
            f.put('\x55');
        }
        const std::string sealedName = vault::NameSealer(key).Seal(c.fault == kOtherName ? "other" : c.name);
        std::string output;
        const bool opened =
            RunCommand("/usr/bin/python3 '" + script + "' '" + (dir / "vault.txt").string() + "' '" +
                           (dir / "sealed").string() + "' " + sealedName + " '" + (dir / "out").string() + "'",
                       output);
        EXPECT_EQ(opened, c.fault == kNone) << c.name;
        if (c.fault != kNone) continue;
        EXPECT_EQ(output, std::string(c.name) + "\n");
        std::ifstream in(dir / "out", std::ios::binary);
        EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), plain) << c.name;
    }
    fs::remove_all(dir);
}

}  // namespace
