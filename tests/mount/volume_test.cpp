// The mount's file semantics without a kernel: the volume over the
// in-memory mailbox, driven by the calls FUSE would make.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "../catalog/memory_store.h"
#include "../catalog/scratch_files.h"
#include "catalog/manifest.h"
#include "catalog/part_mark.h"
#include "mount/passphrase_vaults.h"
#include "mount/volume.h"
#include "vault/names.h"
#include "vault/sealed_files.h"
#include "vault/vault_mail.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct VolumeTest : ::testing::Test {
    testsupport::ScratchDir scratch;
    const fs::path dir = scratch.path;
    testsupport::MemoryStore* store = nullptr;  // owned by the pool, which outlives every volume
    std::unique_ptr<mount::StorePool> pool;
    catalog::Journal journal{dir / "pending"};
    mount::FileCache cache{dir / "files", 1 << 20};
    catalog::Times times{dir / "times"};
    mount::VolumeOptions options;
    std::unique_ptr<mount::Volume> volume;

    VolumeTest() {
        auto memory = std::make_unique<testsupport::MemoryStore>();
        store = memory.get();
        pool = std::make_unique<mount::StorePool>(std::move(memory), 1);
        options.dirCacheMs = 0;
        options.settleMs = 0;
        options.parallelParts = 1;
    }
    void SetUp() override {
        ASSERT_TRUE(journal.Open() && cache.Open());
        StartVolume();
    }
    // A mount starting (again) over the same journal and mailbox.
    void StartVolume() {
        volume.reset();
        volume = std::make_unique<mount::Volume>(*pool, journal, cache, times, options);
        volume->Start();
    }
    std::string State(const std::string& path) {
        std::string value;
        int error = volume->GetXattr(path, "user.vantlo.state", value);
        return error ? "errno " + std::to_string(-error) : value;
    }
    std::vector<std::string> Names(const std::string& folder) {
        std::vector<mount::DirEntry> entries;
        EXPECT_EQ(volume->ReadDir(folder, entries), 0);
        std::vector<std::string> names;
        for (const auto& entry : entries) names.push_back(entry.name);
        return names;
    }
    // Opens, writes and closes as cp does.
    void Write(const std::string& path, const std::string& bytes) {
        std::uint64_t handle = 0;
        ASSERT_EQ(volume->Create(path, handle), 0) << path;
        ASSERT_EQ(volume->Write(handle, bytes.data(), bytes.size(), 0), static_cast<int>(bytes.size()));
        EXPECT_EQ(volume->Flush(handle), 0);
        EXPECT_EQ(volume->Release(handle), 0);
    }
    // The shown file's bytes, read through the volume.
    std::string Read(const std::string& path) {
        std::uint64_t handle = 0;
        if (int error = volume->Open(path, O_RDONLY, handle)) return "errno " + std::to_string(-error);
        std::string bytes(1 << 16, '\0');
        int got = volume->Read(handle, &bytes[0], bytes.size(), 0);
        volume->Release(handle);
        return got < 0 ? "errno " + std::to_string(-got) : bytes.substr(0, static_cast<std::size_t>(got));
    }
    void WaitStored(const std::string& folder) {
        for (auto end = Clock::now() + std::chrono::seconds(20); Clock::now() < end;) {
            bool all = true;
            for (const std::string& name : Names(folder)) all = all && State(folder + "/" + name) == "stored";
            if (all) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "not stored in " << folder;
    }
    std::vector<std::string> Subjects(const std::string& folderId) {
        std::vector<std::string> subjects;
        for (auto& [id, mail] : store->mails)
            if (mail.info.folderId == folderId) subjects.push_back(mail.info.subject);
        return subjects;
    }
};

// Writing to the later of two files of one name, by its marked name, keeps
// its stored name and leaves the other as it was.
TEST_F(VolumeTest, WritingToADuplicatesMarkedNameKeepsItsStoredName) {
    options.storeDelayMs = 2000;  // the store waits while the names are looked at
    StartVolume();
    store->Add("7", "a.txt", "one");
    store->Add("7", "a.txt", "two");
    const std::vector<std::string> before = Names("/files");
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(before[0], "a.txt");
    const std::string marked = before[1];
    ASSERT_NE(marked, "a.txt");
    Write("/files/" + marked, "three");
    EXPECT_EQ(Names("/files"), before);  // shown where it was while pending
    WaitStored("/files");
    EXPECT_EQ(Subjects("7"), (std::vector<std::string>{"a.txt", "a.txt"}));
    EXPECT_EQ(Read("/files/a.txt"), "one");
}

// A file closed under a name meant to stay is stored at once; rsync's
// temporary file waits for its rename and is stored once, under the name
// it was given.
TEST_F(VolumeTest, OnlyTemporaryNamesWaitForARenameBeforeTheirStore) {
    options.settleMs = 60000;
    StartVolume();
    Write("/files/a.txt", "one");
    WaitStored("/files");
    Write("/files/.b.txt.Ab3xZ9", "two");
    EXPECT_EQ(State("/files/.b.txt.Ab3xZ9").rfind("pending", 0), 0u);
    ASSERT_EQ(volume->Rename("/files/.b.txt.Ab3xZ9", "/files/b.txt", false), 0);
    WaitStored("/files");
    EXPECT_EQ(Subjects("7"), (std::vector<std::string>{"a.txt", "b.txt"}));
}

// A file whose manifest does not check out is listed and stat'ed (as
// empty, marked damaged) and fails with EIO when read.
TEST_F(VolumeTest, ADamagedFileStatsAndFailsOnRead) {
    catalog::Manifest forged;
    forged.name = "forged.bin";
    forged.size = UINT64_MAX;
    forged.sha256 = std::string(64, 'a');
    forged.parts = 2;
    forged.partSize = 3;
    forged.partSha256 = std::string(64, 'b');
    forged.uploadId = "deadbeef" + std::string(24, '0');
    store->Add("7", catalog::PartSubject("forged.bin", 1, 2, "deadbeef"), "abc", catalog::WriteManifest(forged));
    forged.part = 2;
    forged.offset = 3;
    store->Add("7", catalog::PartSubject("forged.bin", 2, 2, "deadbeef"), "def", catalog::WriteManifest(forged));
    store->Add("7", "broken.txt", "xyz", "vantlo-file: 1\nname: broken.txt\nsize: lots\n");
    const char* const damaged[] = {"/files/forged.bin", "/files/broken.txt"};
    for (const char* path : damaged) {
        mount::Attr attr;
        ASSERT_EQ(volume->GetAttr(path, attr), 0) << path;
        EXPECT_EQ(attr.size, 0u) << path;
        EXPECT_EQ(State(path), "damaged");
        std::uint64_t handle = 0;
        ASSERT_EQ(volume->Open(path, O_RDONLY, handle), 0) << path;
        char buffer[16];
        EXPECT_EQ(volume->Read(handle, buffer, sizeof buffer, 0), -EIO) << path;
        volume->Release(handle);
    }
}

}  // namespace

// What the manifests said is kept beside the journal: a mount started
// again lists a folder it knows without reading its mails again.
TEST_F(VolumeTest, AMountStartedAgainListsAKnownFolderWithoutReadingItsManifests) {
    options.manifestFile = dir / "manifests";
    StartVolume();
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        store->Add("7", name, name, "vantlo-file: 1\nname: " + std::string(name) + "\nsize: 5\n");
    ASSERT_EQ(Names("/files").size(), 3u);
    const int read = store->textsRead;
    EXPECT_GT(read, 0);
    StartVolume();
    ASSERT_EQ(Names("/files").size(), 3u);
    EXPECT_EQ(store->textsRead, read);
}

// A stored file joins the folder's listing as it stands: a folder of
// thousands of files is not read again, page by page, after every store.
// A file written anew replaces its older self there, and the mails of every
// older version go to the trash once the new are in.
TEST_F(VolumeTest, AStoredFileJoinsTheListingWithoutAReadingOfTheFolder) {
    options.dirCacheMs = 60000;
    StartVolume();
    store->Add("7", "old.txt", "old");
    ASSERT_EQ(Names("/files"), std::vector<std::string>{"old.txt"});
    const int listings = store->listings;
    Write("/files/old.txt", "a version written over at once");
    for (const char* name : {"b.txt", "a.txt", "old.txt"}) Write(std::string("/files/") + name, name);
    // As `cp` and then `sync FILE`: stored while opened again, closed after.
    Write("/files/c.txt", "c");
    std::uint64_t handle = 0;
    ASSERT_EQ(volume->Open("/files/c.txt", O_RDONLY, handle), 0);
    EXPECT_EQ(volume->Fsync(handle), 0);
    EXPECT_EQ(volume->Release(handle), 0);
    WaitStored("/files");
    EXPECT_EQ(store->listings, listings);
    EXPECT_EQ(Subjects("7").size(), 4u);
    EXPECT_GE(Subjects("4").size(), 1u);
    EXPECT_LE(Subjects("4").size(), 2u);
    EXPECT_EQ(Names("/files"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "old.txt"}));
    mount::Attr attr;
    ASSERT_EQ(volume->GetAttr("/files/old.txt", attr), 0);
    EXPECT_EQ(attr.size, 7u);
    EXPECT_EQ(Read("/files/old.txt"), "old.txt");
    options.dirCacheMs = 0;  // and a reading of the folder finds the same
    StartVolume();
    EXPECT_EQ(Names("/files"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "old.txt"}));
}

// Directories of any depth are nested folders: each step's errno, in order,
// as mkdir -p, cp -r, mv and rm -r make them; a directory's move sends no
// part again and its files read back from their new place.
TEST_F(VolumeTest, DirectoriesNestToAnyDepth) {
    enum Op { MakeDir, RemoveDir, Rename, WriteFile, Unlink };
    struct Step {
        Op op;
        const char *path, *to;
        int error;
        const char* readBack;  // a file below `to` that holds the bytes it was written with
        const char* bytes;
    } steps[] = {
        {MakeDir, "/files/a", "", 0, "", ""},
        {MakeDir, "/files/a/b", "", 0, "", ""},
        {MakeDir, "/files/a/b/c", "", 0, "", ""},
        {MakeDir, "/files/a/b", "", EEXIST, "", ""},
        {MakeDir, "/files/missing/b", "", ENOENT, "", ""},
        {WriteFile, "/files/a/b/c/f.txt", "", 0, "", ""},
        {WriteFile, "/files/a/top.txt", "", 0, "", ""},
        {MakeDir, "/files/a/top.txt", "", EEXIST, "", ""},
        {RemoveDir, "/files/a", "", ENOTEMPTY, "", ""},      // folders below it
        {RemoveDir, "/files/a/b/c", "", ENOTEMPTY, "", ""},  // a file in it
        {RemoveDir, "/files/a/top.txt", "", ENOTDIR, "", ""},
        {Rename, "/files/a", "/archive/a2", 0, "/archive/a2/top.txt", "/files/a/top.txt"},  // moved and renamed
        {Rename, "/archive/a2", "/archive/a2/b/z", EINVAL, "", ""},                         // below itself
        {Rename, "/archive/a2/b", "/b", 0, "/b/c/f.txt", "/files/a/b/c/f.txt"},             // to the top
        {MakeDir, "/files/p\xEF\xBC\x8Fq", "", 0, "", ""},                                  // "p/q" in the mailbox
        {Unlink, "/b/c/f.txt", "", 0, "", ""},
        {RemoveDir, "/b/c", "", 0, "", ""},
        {RemoveDir, "/b", "", 0, "", ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.path) + " " + step.to);
        int error = 0;
        if (step.op == MakeDir) error = volume->MakeDir(step.path);
        if (step.op == RemoveDir) error = volume->RemoveDir(step.path);
        if (step.op == Unlink) error = volume->Unlink(step.path);
        if (step.op == WriteFile) {
            Write(step.path, step.path);
            for (auto end = Clock::now() + std::chrono::seconds(20);
                 State(step.path) != "stored" && Clock::now() < end;)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_EQ(State(step.path), "stored");
        }
        const int sent = store->partsSent;
        if (step.op == Rename) error = volume->Rename(step.path, step.to, false);
        EXPECT_EQ(-error, step.error);
        EXPECT_EQ(store->partsSent, sent) << "a directory's move sent its files again";
        if (*step.readBack) {
            EXPECT_EQ(Read(step.readBack), step.bytes);
        }
    }
    EXPECT_EQ(Names("/archive/a2"), std::vector<std::string>({"top.txt"}));
    EXPECT_EQ(Names("/files"), std::vector<std::string>({"p\xEF\xBC\x8Fq"}));
    bool slashKept = false;
    for (auto& [id, name] : store->folders) slashKept = slashKept || name == "p/q";
    EXPECT_TRUE(slashKept) << "a level's full-width solidus is the name's own /";
}

// A folder made by another client while the drive kept its listing (or
// made by a server that refused our CREATE all the same): mkdir takes it.
// One that was listed is still EEXIST.
TEST_F(VolumeTest, MkdirTakesAFolderMadeMeanwhile) {
    options.dirCacheMs = 60000;
    StartVolume();
    ASSERT_EQ(volume->MakeDir("/files/listed"), 0);
    std::string filesId, made;
    for (auto& [id, name] : store->folders) filesId = name == "files" ? id : filesId;
    ASSERT_TRUE(store->CreateFolder(filesId, "meanwhile", made).Ok());
    EXPECT_EQ(volume->MakeDir("/files/meanwhile"), 0);
    EXPECT_EQ(volume->MakeDir("/files/listed"), -EEXIST);
}

// A vault: without its key the drive shows it empty and read-only and
// takes nothing in, since a file written there would be stored unsealed;
// nor does it go as an empty folder would. With the passphrase its files
// show by their own names and sizes and read back whole, no plain copy
// outlives a read, and a file written there is sealed before it is stored.
// Nothing moves in or out, and no folder is made there (its name would show).
TEST_F(VolumeTest, AVaultShowsAndTakesFilesOnlyWithItsPassphrase) {
    ASSERT_EQ(volume->MakeDir("/files/sub"), 0);
    Write("/archive/plain.txt", "plain");
    WaitStored("/archive");
    vault::VaultParameters parameters;
    vault::VaultKey key;
    std::vector<vault::VaultCopy> copies;
    ASSERT_TRUE(vault::InitFolderVault(*store, "7", "phrase", {1024, 1, 1}, parameters).Ok());
    ASSERT_TRUE(vault::UnlockFolderVault(*store, "7", "phrase", key, copies).Ok());
    const std::string secret(200000, 's');
    std::vector<fs::path> sources{dir / "名单.txt", dir / "b.txt"};
    std::ofstream(sources[0], std::ios::binary) << secret;
    std::ofstream(sources[1], std::ios::binary) << "damaged below";
    std::vector<catalog::PutReport> reports;
    ASSERT_TRUE(vault::PutSealedFiles(*store, key, sources, "7", dir / "staging", {}, reports).Ok());
    for (auto& [id, mail] : store->mails)
        if (mail.info.subject == vault::NameSealer(key).Seal("b.txt")) mail.bytes[40] ^= 1;
    const std::size_t mails = store->mails.size();

    auto expectNoMoves = [&] {
        EXPECT_EQ(volume->MakeDir("/files/other"), -EACCES);
        EXPECT_EQ(volume->Rename("/archive/plain.txt", "/files/plain.txt", false), -EACCES);
        EXPECT_EQ(volume->Rename("/files/sub", "/archive/sub", false), -EACCES);
        EXPECT_EQ(volume->Rename("/archive", "/files/archive", false), -EACCES);
        EXPECT_EQ(volume->RemoveDir("/files/sub"), -EACCES);
        EXPECT_EQ(volume->RemoveDir("/files"), -ENOTEMPTY);
        EXPECT_EQ(store->folders.count("7"), 1u);
    };
    // As typed at the drive's start (--vault-passphrase-file -).
    auto typedAtStart = [&](const std::string& line) {
        std::istringstream typed(line + "\n");
        std::streambuf* kept = std::cin.rdbuf(typed.rdbuf());
        std::string error;
        options.vaults = nullptr;
        EXPECT_EQ(mount::VaultsAtStart("-", options.vaults, error), !line.empty()) << error;
        std::cin.rdbuf(kept);
    };
    std::string note;
    for (const char* passphrase : {"", "wrong"}) {
        SCOPED_TRACE(passphrase);
        typedAtStart(passphrase);
        StartVolume();
        EXPECT_TRUE(Names("/files").empty());
        expectNoMoves();
        std::uint64_t handle = 0;
        EXPECT_EQ(volume->Create("/files/new.txt", handle), -EACCES);
        mount::Attr attr;
        ASSERT_EQ(volume->GetAttr("/files", attr), 0);
        EXPECT_TRUE(attr.directory && attr.readOnly);
        EXPECT_EQ(store->mails.size(), mails);
        EXPECT_EQ(volume->GetXattr("/files", "user.vantlo.vault", note), 0);
        EXPECT_EQ(note.rfind("locked", 0), 0u) << note;
    }
    EXPECT_EQ(volume->GetXattr("/archive", "user.vantlo.vault", note), -ENODATA);
    EXPECT_EQ(Read("/archive/plain.txt"), "plain");

    typedAtStart("phrase");
    options.openedDir = dir / "opened";
    options.settleMs = 2000;  // as a drive waits after close: the temporary name below is renamed first
    StartVolume();
    EXPECT_EQ(Names("/files"), (std::vector<std::string>{"sub", "b.txt", "名单.txt"}));
    expectNoMoves();
    mount::Attr attr;
    ASSERT_EQ(volume->GetAttr("/files/名单.txt", attr), 0);
    EXPECT_EQ(attr.size, secret.size());
    std::uint64_t handle = 0;
    ASSERT_EQ(volume->Open("/files/名单.txt", O_RDONLY, handle), 0);
    std::string bytes(secret.size() + 10, '\0');
    EXPECT_EQ(volume->Read(handle, &bytes[0], bytes.size(), 0), static_cast<int>(secret.size()));
    EXPECT_EQ(bytes.substr(0, secret.size()), secret);
    EXPECT_EQ(volume->Release(handle), 0);
    EXPECT_EQ(Read("/files/b.txt"), "errno " + std::to_string(EIO));
    EXPECT_TRUE(fs::is_empty(dir / "opened"));
    EXPECT_EQ(volume->Open("/files/名单.txt", O_WRONLY, handle), -EACCES);  // a sealed file is written whole
    EXPECT_EQ(volume->Rename("/files/名单.txt", "/files/renamed.txt", false), -EACCES);
    EXPECT_EQ(volume->GetXattr("/files", "user.vantlo.vault", note), 0);
    EXPECT_EQ(note.rfind("open", 0), 0u) << note;

    // Written here: a temporary name first (as rsync does), then sealed and
    // stored; one written anew whole replaces the one before.
    Write("/files/.新.txt.tmp", "new secret words");
    ASSERT_EQ(volume->Rename("/files/.新.txt.tmp", "/files/新.txt", false), 0);
    Write("/files/名单.txt", "shorter now");
    for (auto end = Clock::now() + std::chrono::seconds(20);
         (State("/files/新.txt") != "stored" || State("/files/名单.txt") != "stored") && Clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(State("/files/新.txt"), "stored");
    EXPECT_EQ(Read("/files/新.txt"), "new secret words");
    EXPECT_EQ(Read("/files/名单.txt"), "shorter now");
    ASSERT_EQ(volume->GetAttr("/files/新.txt", attr), 0);
    EXPECT_EQ(attr.size, 16u);
    for (auto& [id, mail] : store->mails) {
        if (mail.info.folderId != "7" || mail.info.subject == ".vantlo-vault") continue;
        EXPECT_EQ(mail.bytes.find("secret words"), std::string::npos);
        EXPECT_EQ(mail.info.subject.find("新"), std::string::npos) << mail.info.subject;
        EXPECT_TRUE(mail.attachmentName.empty() || mail.attachmentName.rfind("sealed.bin", 0) == 0)
            << mail.attachmentName;
    }
    EXPECT_EQ(Names("/files"), (std::vector<std::string>{"sub", "b.txt", "名单.txt", "新.txt"}));
    EXPECT_EQ(volume->Unlink("/files/新.txt"), 0);

    // With no folder below it either, a vault shown empty is still not an empty folder.
    options.vaults = nullptr;
    StartVolume();
    const auto sub = std::find_if(store->folders.begin(), store->folders.end(),
                                  [](const auto& folder) { return folder.second == "sub"; });
    ASSERT_NE(sub, store->folders.end());
    store->parents.erase(sub->first);
    store->folders.erase(sub);
    EXPECT_EQ(volume->RemoveDir("/files"), -ENOTEMPTY);
    EXPECT_EQ(store->folders.count("7"), 1u);
}
