// vantlo-mount as a user meets it: a real FUSE mount over vantlo-provider,
// driven with cp, diff, rsync, mv and rm, unmounted and mounted again (on a
// fresh cache, so that what is read back comes from the mailbox), and
// killed in the middle of a store.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "dovecot_env.h"
#include "provider_process.h"
#include "run_process.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string WhyNoFuse() {
    if (::access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse is not usable here";
    for (const char* dir : {"/usr/bin/", "/bin/", "/usr/local/bin/"})
        if (::access((std::string(dir) + "fusermount3").c_str(), X_OK) == 0) return "";
    return "fusermount3 is not installed";
}

std::string Sh(const std::string& command) {
    testsupport::ProcessResult r = testsupport::RunProcess({"/bin/sh", "-c", command}, {}, "", 120000);
    return r.exitCode == 0 ? r.out : "exit " + std::to_string(r.exitCode) + ": " + r.out + r.err;
}

std::string State(const fs::path& file) {
    char value[256];
    ssize_t n = ::getxattr(file.c_str(), "user.vantlo.state", value, sizeof value);
    return n < 0 ? "errno " + std::to_string(errno) : std::string(value, static_cast<std::size_t>(n));
}

void WriteRandom(const fs::path& path, std::size_t size, unsigned seed) {
    std::ofstream(path, std::ios::binary) << testsupport::NoiseBytes(size, seed);
}

using testsupport::Env;

struct MountTest : ::testing::Test {
    std::unique_ptr<testsupport::ProviderProcess> provider;
    // The mailbox and its password: the provider's demo account unless a test says otherwise.
    std::vector<std::string> mailbox;
    std::string password = "vantlo-demo";
    fs::path dir = testsupport::MakeTempDir("vantlo-mount-test-");
    fs::path point = dir / "mnt", cache = dir / "cache", src = dir / "src";
    pid_t pid = -1;

    void SetUp() override {
        if (std::string why = WhyNoFuse(); !why.empty()) GTEST_SKIP() << "no FUSE mounts: " << why;
        fs::create_directories(point);
        fs::create_directories(src);
        if (Env("VANTLO_DOVECOT").empty()) {
            provider = std::make_unique<testsupport::ProviderProcess>();
            mailbox = {"--provider", provider->Address(), "--account", "demo@163.example"};
        }
    }
    ~MountTest() override {
        Unmount();
        testsupport::RemoveTree(dir.string());
    }

    bool Mounted() {
        struct stat here, above;
        return ::stat(point.c_str(), &here) == 0 && ::stat(dir.c_str(), &above) == 0 && here.st_dev != above.st_dev;
    }
    std::vector<std::string> MountArgs(const std::string& partSize) {
        std::vector<std::string> args = {VANTLO_MOUNT_EXE, "--cache-dir", cache.string(), "--part-size",
                                         partSize,         "-f",          point.string()};
        args.insert(args.begin() + 1, mailbox.begin(), mailbox.end());
        return args;
    }
    void Mount(const std::string& partSize = "1M") {
        pid = ::fork();
        if (pid == 0) {
            std::string log = (dir / "mount.log").string();
            FILE* out = std::freopen(log.c_str(), "a", stderr);
            (void)out;
            ::setenv("VANTLO_PASSWORD", password.c_str(), 1);
            std::vector<std::string> args = MountArgs(partSize);
            std::vector<char*> argv;
            for (std::string& arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(VANTLO_MOUNT_EXE, argv.data());
            ::_exit(127);
        }
        for (auto end = Clock::now() + std::chrono::seconds(20); !Mounted() && Clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(Mounted()) << Sh("cat " + (dir / "mount.log").string());
    }
    void Unmount(bool kill = false) {
        if (pid <= 0) return;
        if (kill) ::kill(pid, SIGKILL);
        Sh("fusermount3 -u " + point.string());
        int status = 0;
        for (auto end = Clock::now() + std::chrono::seconds(30); ::waitpid(pid, &status, WNOHANG) == 0;) {
            if (Clock::now() > end) ::kill(pid, SIGKILL);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        pid = -1;
    }
    // Waits (bounded) until every file under the folder, at any depth, is stored.
    void WaitStored(const fs::path& folder) {
        std::string waiting;
        for (auto end = Clock::now() + std::chrono::seconds(90); Clock::now() < end;) {
            waiting.clear();
            for (const auto& item : fs::recursive_directory_iterator(folder))
                if (!item.is_directory() && State(item.path()) != "stored")
                    waiting += item.path().filename().string() + " ";
            if (waiting.empty()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        FAIL() << "not stored: " << waiting;
    }
    void RemountFresh() {
        Unmount();
        fs::remove_all(cache);
        Mount();
    }
};

// A tree three levels deep, names in two scripts and a file larger than a
// part: copied in with cp, compared while pending and again through an
// empty cache; a non-empty directory is kept by rmdir and moves as one
// folder, sending nothing again. A part of it rsynced to another place is
// sent once, and not at all the second time, nor after a remount on the
// same cache or on none (the times then come from the manifests).
void CopyTreeInAndBack(MountTest& test, unsigned files) {
    const fs::path tree = test.src / "tree", mounted = test.point / "tree";
    const char* const dirs[] = {"a/b/c", "a/x", "d", "a"};
    for (const char* dir : dirs) fs::create_directories(tree / dir);
    for (unsigned i = 0; i + 1 < files; ++i)  // half of them at the top
        WriteRandom(tree / (i % 8 < 4 ? dirs[i % 8] : ".") / ((i % 7 ? "file " : "文件 ") + std::to_string(i) + ".bin"),
                    (i * 997) % 20000, i);
    WriteRandom(tree / "a/b/c/larger than a part.bin", 2'500'000, 7);
    test.Mount();
    const std::string diff = "diff -r " + tree.string() + " " + mounted.string();
    EXPECT_EQ(Sh("cp -r " + tree.string() + " " + test.point.string()), "");
    EXPECT_EQ(Sh(diff), "");  // while pending
    // Moved at once, while its files are still on their way, and back.
    EXPECT_EQ(Sh("mv " + mounted.string() + "/d " + mounted.string() + "/a/d2 2>&1"), "")
        << Sh("cat " + (test.dir / "mount.log").string());
    EXPECT_EQ(Sh("mv " + mounted.string() + "/a/d2 " + mounted.string() + "/d 2>&1"), "");
    test.WaitStored(mounted);
    test.RemountFresh();
    EXPECT_EQ(Sh(diff), "");
    EXPECT_EQ(State(mounted / "a/b/c/larger than a part.bin"), "stored");
    EXPECT_EQ(Sh("rmdir " + mounted.string() + "/a 2>&1 | grep -c 'not empty'"), "1\n");
    EXPECT_EQ(Sh("mv " + mounted.string() + "/a " + mounted.string() + "/d/moved"), "");
    EXPECT_EQ(State(mounted / "d/moved/b/c/larger than a part.bin"), "stored");  // not sent again
    test.RemountFresh();
    EXPECT_EQ(Sh("diff -r " + (tree / "a").string() + " " + mounted.string() + "/d/moved"), "");

    const std::string rsync = "rsync -a --stats " + (tree / "d").string() + " " + test.point.string() +
                              " | grep 'regular files transferred'",
                      sent = "Number of regular files transferred: ";
    EXPECT_EQ(Sh(rsync), sent + std::to_string(std::distance(fs::directory_iterator(tree / "d"), {})) + "\n");
    EXPECT_EQ(Sh(rsync), sent + "0\n");
    test.WaitStored(test.point / "d");
    test.Unmount();
    test.Mount();  // the same cache: the times set by rsync are remembered
    EXPECT_EQ(Sh(rsync), sent + "0\n");
    test.RemountFresh();
    EXPECT_EQ(Sh(rsync), sent + "0\n");
    EXPECT_EQ(Sh("diff -r " + (tree / "d").string() + " " + (test.point / "d").string()), "");
    EXPECT_EQ(Sh("rm -r " + mounted.string() + " && ls " + mounted.string() + " 2>&1 | grep -c 'No such'"), "1\n");
}

TEST_F(MountTest, ATreeCopiedInComesBackFromTheMailbox) {
    CopyTreeInAndBack(*this, 200);
}

// Run by tests/imap/dovecot_fixture.py (the CTest entry mount.dovecot).
using MountDovecot = MountTest;
TEST_F(MountDovecot, ATreeCopiedInComesBackFromAnImapServer) {
    if (Env("VANTLO_DOVECOT").empty()) GTEST_SKIP() << "run under tests/imap/dovecot_fixture.py";
    mailbox = {"--imap",    "imaps://127.0.0.1:" + testsupport::DovecotPort("imaps"),
               "--ca-file", Env("VANTLO_DOVECOT") + "/ca.pem",
               "--account", Env("VANTLO_DOVECOT_USER")};
    password = Env("VANTLO_DOVECOT_PASSWORD");
    CopyTreeInAndBack(*this, 60);
}

TEST_F(MountTest, FoldersFilesRenamesAndRemovals) {
    Mount();
    const std::string p = point.string() + "/";
    EXPECT_EQ(Sh("cd " + p + " && mkdir A B && echo one > A/x.txt && mv A/x.txt A/y.txt && ls A"), "y.txt\n");
    WaitStored(point / "A");
    EXPECT_EQ(Sh("cd " + p + " && mv A/y.txt B/y.txt && mv B/y.txt B/z.txt && ls A B && cat B/z.txt"),
              "A:\n\nB:\nz.txt\none\n");
    EXPECT_EQ(Sh("cd " + p + " && echo two > B/w.txt && rm B/w.txt && mkdir A/deeper && " +
                 "(rmdir B 2>/dev/null || echo B is not empty) && mv A C && ls C"),
              "B is not empty\ndeeper\n");
    // fsync waits for the store: on a file opened anew (sync) and on one still being written (dd).
    EXPECT_EQ(Sh("cd " + p + " && rmdir C/deeper C && echo three > B/z.txt && sync B/z.txt && ls B && cat B/z.txt"),
              "z.txt\nthree\n");
    EXPECT_EQ(State(point / "B" / "z.txt"), "stored");
    EXPECT_EQ(Sh("cd " + p + " && head -c 5000 /dev/zero | dd of=B/d.bin conv=fsync status=none && rm B/d.bin"), "");
    RemountFresh();
    // touch on the stored file: its time is kept, also by the next mount, and
    // the open for writing that touch makes fetches nothing.
    const std::string shown = "date -u -r " + p + "B/z.txt +%F";
    EXPECT_EQ(Sh("touch -d 2020-01-01T00:00:00Z " + p + "B/z.txt"), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // past the attribute timeout and the settle
    EXPECT_EQ(Sh(shown), "2020-01-01\n");
    EXPECT_EQ(Sh("find " + (cache / "files").string() + " -type f -exec du -k {} + | awk '{k+=$1} END {print k+0}'"),
              "0\n");  // the copies under files/ hold no blocks
    EXPECT_EQ(State(point / "B" / "z.txt"), "stored");
    Unmount();
    Mount();
    EXPECT_EQ(Sh(shown), "2020-01-01\n");
    EXPECT_EQ(Sh("cd " + p + " && (ls -d A C 2>/dev/null || echo gone) && ls B && cat B/z.txt"),
              "gone\nz.txt\nthree\n");
}

// A mount killed while a store's parts leave, and one killed right after
// cp returned (close() returns once the file is in the journal): the next
// mount stores each file exactly once.
TEST_F(MountTest, AStoreKilledMidwayIsStoredExactlyOnceAfterTheNextMount) {
    WriteRandom(src / "large.bin", 12'000'000, 3);
    WriteRandom(src / "f.bin", 400000, 9);
    Mount("256K");  // 46 parts
    fs::create_directories(point / "k");
    EXPECT_EQ(Sh("cp " + (src / "large.bin").string() + " " + (point / "k").string()), "");
    // Kill once the upload id is in the journal, that is, while parts leave.
    for (auto end = Clock::now() + std::chrono::seconds(20); Clock::now() < end;) {
        if (Sh("cat " + (cache / "pending").string() + "/*.entry").find("upload-id") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    Unmount(true);
    Mount("256K");
    EXPECT_EQ(Sh("cp " + (src / "f.bin").string() + " " + (point / "k").string()), "");
    Unmount(true);
    Mount("256K");
    WaitStored(point / "k");
    RemountFresh();
    EXPECT_EQ(Sh("ls " + (point / "k").string()), "f.bin\nlarge.bin\n");
    EXPECT_EQ(State(point / "k" / "large.bin"), "stored");
    for (const char* name : {"large.bin", "f.bin"})
        EXPECT_EQ(Sh("cmp " + (src / name).string() + " " + (point / "k" / name).string()), "") << name;
    EXPECT_EQ(Sh("ls " + (point / "收件箱").string() + " | grep large"), "exit 1: ");
}

// A cache directory named by the user that holds other files is refused,
// and nothing in it is touched (which directories are taken: catalog's
// DriveCacheDir test).
TEST_F(MountTest, ACacheDirectoryHoldingOtherFilesIsRefusedAndKept) {
    fs::create_directories(cache);
    std::ofstream(cache / "thesis.tex") << "mine";
    testsupport::ProcessResult run =
        testsupport::RunProcess(MountArgs("1M"), {"VANTLO_PASSWORD=" + password}, "", 10000);
    Sh("fusermount3 -u " + point.string() + " 2>/dev/null");  // had it mounted
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("already holds other files"), std::string::npos) << run.err;
    EXPECT_EQ(Sh("ls " + cache.string() + " && cat " + (cache / "thesis.tex").string()), "thesis.tex\nmine");
}

// A cache directory on a full disk: the copy fails, and the cut file is
// never stored nor shown as stored.
TEST_F(MountTest, AFileCutByAFullCacheDiskIsNeverStored) {
    struct SmallDisk {
        fs::path path;
        ~SmallDisk() { ::umount2(path.c_str(), MNT_DETACH); }
    } disk{dir / "small"};
    fs::create_directories(disk.path);
    ASSERT_EQ(::mount("tmpfs", disk.path.c_str(), "tmpfs", 0, "size=2m"), 0) << "tmpfs: errno " << errno;
    cache = disk.path / "cache";
    WriteRandom(src / "big.bin", 3 << 20, 4);
    Mount();
    fs::create_directories(point / "full");
    EXPECT_NE(Sh("cp " + (src / "big.bin").string() + " " + (point / "full").string()).find("exit 1"),
              std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // past the settle
    const std::string state = State(point / "full" / "big.bin");
    EXPECT_EQ(state.rfind("failed", 0), 0u) << state;
    EXPECT_NE(state, "stored");
    Unmount();
    fs::remove_all(cache);
    cache = dir / "cache";
    Mount();
    EXPECT_EQ(Sh("ls " + (point / "full").string()), "");
}

}  // namespace
