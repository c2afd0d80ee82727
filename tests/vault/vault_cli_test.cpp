// vantlo-cli's vault commands against a real vantlo-provider: files come
// back byte-exact, a second put sends nothing, and the provider's data
// directory holds neither a name, nor a plain byte, nor a plain SHA-256,
// yet a reader written from README.md alone opens what it holds.
// Then what an attacker with the provider's disk can do: a whole file with
// its manifest put in another's place, a damaged or missing vault file, a
// wrong passphrase: each refused, nothing written.
#include <algorithm>
#include <map>
#include <sstream>

#include "../cli/provider_cli.h"
#include "vault/names.h"
#include "vault/parameters.h"
#include "vault/vault_file.h"

namespace {

using namespace clitest;
using testsupport::Sha256Hex;

constexpr char kPassphrase[] = "a long vault passphrase, 茶 & \"quotes\"";

class VaultCli : public ProviderCli {
protected:
    std::string vault;  // a folder made a vault, signed in

    void SetUp() override {
        ASSERT_EQ(Run({"signin"}).exitCode, 0);
        vault = Folder("vault");
        ASSERT_EQ(Run({"vault", "init", "/vault"}).exitCode, 0);  // by path; the rest by id
    }
    ProcessResult Run(const std::vector<std::string>& args, const std::string& passphrase = kPassphrase, int killAt = 0,
                      const std::string& input = "") {
        env = {"VANTLO_PROVIDER=", "VANTLO_PASSWORD=vantlo-demo", "VANTLO_VAULT_PASSPHRASE=" + passphrase,
               "VANTLO_VAULT_NEW_PASSPHRASE=", "XDG_CACHE_HOME=" + (dir / "cache").string()};
        return ProviderCli::Run(args, killAt, input);
    }
    std::string Folder(const std::string& name) {
        std::string id = Run({"mkdir", name}).out;
        if (!id.empty()) id.pop_back();
        return id;
    }
    // name -> key, from `vault ls`.
    std::map<std::string, std::string> Keys(const std::string& folder, const std::string& passphrase = kPassphrase) {
        std::map<std::string, std::string> keys;
        std::istringstream lines(Run({"vault", "ls", folder}, passphrase).out);
        for (std::string line; std::getline(lines, line);)
            keys[line.substr(0, line.find('\t'))] = line.substr(line.rfind('\t') + 1);
        return keys;
    }
    fs::path Attachment(const std::string& key) { return AccountFile("attachments") / key; }
    // The key of the vault's own file, from a plain listing of its mails.
    std::string VaultFileKey() {
        std::istringstream lines(Run({"ls", "--messages", vault}).out);
        for (std::string line; std::getline(lines, line);)
            if (line.size() > 14 && line.compare(line.size() - 14, 14, "\t.vantlo-vault") == 0)
                return line.substr(0, line.find('\t'));
        return {};
    }
};

TEST_F(VaultCli, FilesComeBackAndTheProviderHoldsNoneOfThem) {
    const std::string plain = Folder("plain");
    ASSERT_EQ(Run({"put", Write("loose.txt", "x").string(), plain}).exitCode, 0);
    ProcessResult refused = Run({"vault", "init", plain});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("not empty"), std::string::npos) << refused.err;
    EXPECT_EQ(Run({"vault", "init", vault}).exitCode, 1);  // a vault is not made twice

    const struct {
        std::string name;
        std::string bytes;
        std::string parts;
    } files[] = {{"报告 2026.pdf", testsupport::NoiseBytes(300000, 7), "3"},
                 {"empty.txt", "", "1"},
                 {"notes.txt", "meeting at nine in room 4\n", "1"}};
    std::vector<std::string> put = {"vault", "put", "--part-size", "100K", "--transfers", "3"};
    for (const auto& f : {files[0], files[1]}) put.push_back(Write(f.name, f.bytes).string());
    put.push_back(vault);
    ProcessResult stored = Run(put);
    ASSERT_EQ(stored.exitCode, 0) << stored.err;
    // A plain put into a vault seals as well (the scan below would find it otherwise).
    stored = Run({"put", Write(files[2].name, files[2].bytes).string(), "/vault"});
    ASSERT_EQ(stored.exitCode, 0) << stored.err;
    // A sync of the same files sends nothing, run after run.
    fs::create_directories(dir / "mirror");
    for (const auto& f : files) Write("mirror/" + f.name, f.bytes);
    const std::string mails = Run({"ls", "--messages", vault}).out;
    for (int run = 0; run < 2; ++run) {
        ProcessResult synced = Run({"--part-size", "100K", "sync", (dir / "mirror").string(), "/vault"});
        ASSERT_EQ(synced.exitCode, 0) << synced.err;
        EXPECT_EQ(synced.out.rfind("sent 0 file(s)", 0), 0u) << synced.out;
    }
    EXPECT_EQ(Run({"ls", "--messages", vault}).out, mails);

    const std::string listing = Run({"ls", "/vault"}).out;  // a plain ls shows the files' own names
    fs::create_directory(dir / "back");
    for (const auto& f : files) {
        EXPECT_NE(listing.find(f.name + "\t" + std::to_string(f.bytes.size()) + "\t" + f.parts + "\t"),
                  std::string::npos)
            << listing;
        ProcessResult got = Run({"get", "/vault/" + f.name, (dir / "back").string()});  // as any file, by path
        ASSERT_EQ(got.exitCode, 0) << got.err;
        EXPECT_EQ(ReadFile(dir / "back" / f.name), f.bytes) << f.name;
    }
    // stat and find by the own name; get -r opens every file; nothing moves or lands there plain.
    const std::string size = std::to_string(files[2].bytes.size());
    EXPECT_NE(Run({"stat", "/vault/notes.txt"}).out.find("name: notes.txt\nkey: "), std::string::npos);
    EXPECT_NE(Run({"stat", "/vault/notes.txt"}).out.find("\nsize: " + size + "\n"), std::string::npos);
    EXPECT_EQ(Run({"find", "notes.txt", "/vault"}).out.rfind("notes.txt\t" + size + "\t1\t", 0), 0u);
    ASSERT_EQ(Run({"get", "-r", "/vault", (dir / "tree").string()}).exitCode, 0);
    for (const auto& f : files) EXPECT_EQ(ReadFile(dir / "tree" / f.name), f.bytes) << f.name;
    const std::string loose = Run({"ls", plain}).out;  // one file: its key ends the line
    const std::string looseKey = loose.substr(loose.rfind('\t') + 1, loose.size() - loose.rfind('\t') - 2);
    for (const auto& mv : {std::vector<std::string>{"/vault/notes.txt", "/vault/renamed.txt"},
                           {"/vault/notes.txt", plain},
                           {looseKey, vault}})
        EXPECT_NE(Run({"mv", mv[0], mv[1]}).err.find("nothing moves into or out of a vault"), std::string::npos);
    fs::create_directories(dir / "up" / "vault");
    Write("up/vault/loose.txt", "x");
    EXPECT_NE(Run({"put", "-r", (dir / "up").string(), "/"}).err.find("'/vault' is a vault"), std::string::npos);
    ProcessResult wrong = Run({"vault", "get", vault, "notes.txt", (dir / "wrong.txt").string()}, "not it");
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("wrong passphrase"), std::string::npos) << wrong.err;
    EXPECT_FALSE(fs::exists(dir / "wrong.txt"));
    EXPECT_EQ(Run({"mkdir", "-p", "/vault/sub/deeper"}).exitCode, 1);  // a folder's name would show
    ASSERT_EQ(Run({"rm", "/vault/notes.txt"}).exitCode, 0);            // by its own name, to the trash
    EXPECT_EQ(Run({"ls", "/vault"}).out.find("notes.txt"), std::string::npos);

    // Nothing the provider keeps holds a name, plain bytes or a plain SHA-256.
    std::vector<std::string> secrets;
    for (const auto& f : files) {
        secrets.push_back(f.name);
        secrets.push_back(Sha256Hex(f.bytes));
    }
    secrets.push_back("meeting at nine");
    for (std::size_t at : {0, 150000, 299960}) secrets.push_back(files[0].bytes.substr(at, 32));
    std::size_t scanned = 0;
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        if (!entry.is_regular_file()) continue;
        const std::string held = ReadFile(entry.path());
        scanned += held.size();
        for (const std::string& secret : secrets)
            EXPECT_EQ(held.find(secret), std::string::npos) << entry.path() << " holds a secret";
    }
    EXPECT_GT(scanned, 300000u);  // the sealed bytes were there to search

    // A reader written from README.md alone (open_vault.py) opens each file
    // from what the provider holds: the vault file, the sealed name, the
    // parts' attachments joined in order.
    std::map<std::string, std::map<int, std::string>> sealed;  // sealed name -> part number -> attachment
    std::istringstream lines(mails);
    for (std::string line; std::getline(lines, line);) {
        const std::string subject = line.substr(line.rfind('\t') + 1);
        const std::size_t mark = subject.find(" [part ");
        sealed[subject.substr(0, mark)][mark == std::string::npos ? 1 : std::stoi(subject.substr(mark + 7))] =
            ReadFile(Attachment(line.substr(0, line.find('\t'))));
    }
    WriteFile(dir / "vault.txt", sealed[".vantlo-vault"][1]);
    sealed.erase(".vantlo-vault");
    std::map<std::string, std::string> opened;  // name -> bytes, as the reader gave them
    for (const auto& [name, parts] : sealed) {
        std::string joined;
        for (const auto& part : parts) joined += part.second;
        const ProcessResult read =
            testsupport::RunProcess({"/usr/bin/python3", VANTLO_VAULT_READER, (dir / "vault.txt").string(),
                                     WriteFile(dir / "sealed", joined).string(), name, (dir / "opened").string()},
                                    {"VANTLO_VAULT_PASSPHRASE=" + std::string(kPassphrase)});
        EXPECT_EQ(read.exitCode, 0) << read.err;
        opened[read.out.substr(0, read.out.find('\n'))] = ReadFile(dir / "opened");
    }
    for (const auto& f : files) EXPECT_TRUE(opened[f.name] == f.bytes) << f.name;
    EXPECT_EQ(opened.size(), 3u);
}

TEST_F(VaultCli, WhatTheProvidersDiskCanDoIsRefused) {
    const std::string a = testsupport::NoiseBytes(70000, 1), b = testsupport::NoiseBytes(70000, 2);
    ASSERT_EQ(Run({"vault", "put", Write("a.bin", a).string(), Write("b.bin", b).string(), vault}).exitCode, 0);
    std::map<std::string, std::string> keys = Keys(vault);
    ASSERT_EQ(keys.size(), 2u);
    const std::string aSealed = ReadFile(Attachment(keys["a.bin"])), bSealed = ReadFile(Attachment(keys["b.bin"]));

    // b's sealed bytes and manifest in a's place, made with the provider
    // stopped (it keeps its index in memory): authentic records of another
    // file. (A flipped bit fails the mail's SHA-256 before: transfer_test.)
    EditIndex([&](std::string index) {
        for (std::size_t at; (at = index.find(Sha256Hex(aSealed))) != std::string::npos;)
            index.replace(at, 64, Sha256Hex(bSealed));
        WriteFile(Attachment(keys["a.bin"]), bSealed);
        return index;
    });
    ProcessResult got = Run({"vault", "get", vault, "a.bin", (dir / "a.out").string()});
    EXPECT_EQ(got.exitCode, 1);
    EXPECT_NE(got.err.find("a.bin: its records are authentic but belong to another file"), std::string::npos)
        << got.err;
    EXPECT_FALSE(fs::exists(dir / "a.out"));

    // A damaged vault file, then none: the folder does not open.
    const std::string vaultKey = VaultFileKey();  // a plain ls shows the vault's files
    ASSERT_FALSE(vaultKey.empty());
    const std::string parameters = ReadFile(Attachment(vaultKey));
    std::string damaged = parameters;
    damaged[damaged.find("vault-id: ") + 10] ^= 1;
    std::ofstream(Attachment(vaultKey), std::ios::binary) << damaged;
    ProcessResult status = Run({"vault", "status", vault});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_NE(status.err.find("damaged"), std::string::npos) << status.err;
    ASSERT_EQ(Run({"rm", vaultKey}).exitCode, 0);
    status = Run({"vault", "ls", vault});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_NE(status.err.find("not a vault"), std::string::npos) << status.err;
}

TEST_F(VaultCli, PutKilledMidwayFinishesOnTheNextRunWithEachPartOnce) {
    const std::string bytes = testsupport::NoiseBytes(10 * 65536 + 999, 3);  // sealed: 11 parts of 64 KiB
    const std::vector<std::string> put = {"vault", "put", "--part-size", "64K", Write("kept.bin", bytes).string(),
                                          vault};
    EXPECT_EQ(Run(put, kPassphrase, 30).exitCode, -1);  // killed
    ProcessResult again = Run(put);
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.err.find(" of 11 parts already stored"), std::string::npos) << again.err;
    // One file of 11 parts, none twice, no second upload of the same name beside it.
    const std::string listing = Run({"vault", "ls", vault}).out;
    EXPECT_EQ(listing.rfind("kept.bin\t" + std::to_string(bytes.size()) + "\t11\t", 0), 0u) << listing;
    EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 1) << listing;
    ASSERT_EQ(Run({"vault", "get", vault, "kept.bin", (dir / "kept.out").string()}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "kept.out"), bytes);
}

TEST_F(VaultCli, NewPassphraseOpensTheOldOneNoLonger) {
    ASSERT_EQ(Run({"vault", "put", Write("kept.txt", "kept").string(), vault}).exitCode, 0);
    const std::string keptKey = Keys(vault)["kept.txt"];
    ASSERT_FALSE(keptKey.empty());
    ProcessResult changed = Run({"vault", "passwd", vault}, kPassphrase, 0, "second phrase\nsecond phrase\n");
    ASSERT_EQ(changed.exitCode, 0) << changed.err;
    EXPECT_EQ(Run({"vault", "ls", vault}).exitCode, 1);
    // The sealed file is the same mail: nothing but the vault file changed.
    EXPECT_EQ(Keys(vault, "second phrase")["kept.txt"], keptKey);
    EXPECT_EQ(Run({"vault", "get", vault, "kept.txt", (dir / "kept.out").string()}, "second phrase").exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "kept.out"), "kept");
}

// check and sync --download go by the files' own names and sealed digests.
// Names only the key's holder could seal ("../x", "q/r", a tab, a NUL)
// are written inside the directory under a usable name ("..／x"), or not
// at all.
TEST_F(VaultCli, CheckAndDownloadGoByOwnNamesAndSealedDigests) {
    for (const char* name : {"same.txt", "changed.txt", "dotx", "qqr", "nul", "tab"})
        ASSERT_EQ(Run({"vault", "put", Write(name, name).string(), vault}).exitCode, 0);
    std::map<std::string, std::string> keys = Keys(vault);
    vault::VaultParameters parameters;
    vault::VaultKey key;
    ASSERT_TRUE(vault::ParseParameters(ReadFile(Attachment(VaultFileKey())), parameters).Ok());
    ASSERT_TRUE(vault::UnlockVault(parameters, kPassphrase, key).Ok());
    EditIndex([&](std::string index) {
        const std::string hostile[][2] = {
            {"dotx", "../x"}, {"qqr", "q/r"}, {"nul", std::string("n\0l", 3)}, {"tab", "t\tb"}};
        for (const auto& [was, now] : hostile) {
            const std::string before = Sha256Hex(ReadFile(Attachment(keys[was])));  // sealed in its place below
            EXPECT_TRUE(vault::SealFile(key, dir / was, now, Attachment(keys[was])).Ok());
            for (const auto& [from, to] :
                 {std::pair{vault::NameSealer(key).Seal(was), vault::NameSealer(key).Seal(now)},
                  {before, Sha256Hex(ReadFile(Attachment(keys[was])))}})
                for (std::size_t at; (at = index.find(from)) != std::string::npos;) index.replace(at, to.size(), to);
        }
        return index;
    });
    for (const auto& [name, bytes] :
         {std::pair{"same.txt", "same.txt"}, {"changed.txt", "changed here"}, {"extra.txt", ""}})
        Write("mine/" + std::string(name), bytes);
    ProcessResult checked = Run({"check", (dir / "mine").string(), vault});
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_EQ(checked.out,
              "differs: changed.txt\nonly here: extra.txt\nonly there: ..／x\nonly there: q／r\nonly there: t\\tb\n");
    EXPECT_NE(checked.err.find("is not a file of this vault"), std::string::npos) << checked.err;
    EXPECT_NE(Run({"check", (dir / "mine").string(), vault}, "not it").err.find("wrong passphrase"), std::string::npos);

    const fs::path down = dir / "up" / "down";
    const std::map<std::string, std::string> opened = {
        {"..／x", "dotx"}, {"changed.txt", "changed.txt"}, {"q／r", "qqr"}, {"same.txt", "same.txt"}};
    for (const char* run : {"fetched 4 file(s)", "fetched 0 file(s)"}) {
        ProcessResult synced = Run({"sync", "--download", vault, down.string()});
        EXPECT_EQ(synced.exitCode, 1);  // a tab is no local name; one with a NUL is none of the vault's
        EXPECT_EQ(synced.out.rfind(run, 0), 0u) << synced.out;
        std::map<std::string, std::string> written;
        for (const auto& entry : fs::recursive_directory_iterator(dir / "up"))
            if (entry.is_regular_file())
                written[entry.path().lexically_relative(down).string()] = ReadFile(entry.path());
        EXPECT_EQ(written, opened);
    }
    EXPECT_EQ(Run({"check", down.string(), vault}).out, "only there: t\\tb\n");
    WriteFile(down / "changed.txt", "changed here");  // fetched again; gone from the vault: deleted
    ASSERT_EQ(Run({"rm", "/vault/same.txt"}).exitCode, 0);
    EXPECT_EQ(Run({"sync", "--download", "--delete", vault, down.string()}).out,
              "fetched 1 file(s), 11 bytes; deleted 1; unchanged 2\n");
    EXPECT_EQ(ReadFile(down / "changed.txt"), "changed.txt");
    EXPECT_FALSE(fs::exists(down / "same.txt"));

    // A vault below the folder given: get -r opens it in its place; sync and
    // check would take its sealed files as they are, so they leave it alone.
    Folder("outer");
    ASSERT_EQ(Run({"mkdir", "/outer/inner"}).exitCode, 0);
    ASSERT_EQ(Run({"vault", "init", "/outer/inner"}).exitCode, 0);
    ASSERT_EQ(Run({"vault", "put", Write("deep.txt", "deep").string(), "/outer/inner"}).exitCode, 0);
    ASSERT_EQ(Run({"put", Write("top.txt", "top").string(), "/outer"}).exitCode, 0);
    ASSERT_EQ(Run({"get", "-r", "/outer", (dir / "outer").string()}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "outer" / "inner" / "deep.txt"), "deep");
    EXPECT_EQ(ReadFile(dir / "outer" / "top.txt"), "top");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "outer" / "inner"), {}), 1);
    for (const std::vector<std::string>& run :
         {std::vector<std::string>{"sync", "--download", "/outer", (dir / "outer-sync").string()},
          {"check", (dir / "outer").string(), "/outer"}}) {
        ProcessResult refused = Run(run);
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_NE(refused.err.find("'inner' below is a vault"), std::string::npos) << refused.err;
    }
    EXPECT_TRUE(!fs::exists(dir / "outer-sync") || fs::is_empty(dir / "outer-sync"));
}

}  // namespace
