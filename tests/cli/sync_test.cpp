// sync and check run as processes against a real provider: a second sync
// sends nothing, a change sends one file and trashes the copy it replaces,
// --delete trashes what is gone, --download writes the tree back, and a
// sync killed (SIGKILL) at seeded points and run again ends with each file
// stored once.
#include <algorithm>
#include <random>

#include "provider_cli.h"

namespace {

using namespace clitest;

class SyncTest : public ProviderCli {
protected:
    // The mails in the folder the path names.
    long Mails(const std::string& path) {
        std::string top = Run({"ls"}).out, id;
        std::size_t row = top.find(path + "/\t");
        if (row == std::string::npos) return -1;
        id = top.substr(top.find_last_of('\t', top.find('\n', row)) + 1);
        id = id.substr(0, id.find('\n'));
        std::string listed = Run({"ls", "--messages", id}).out;
        return std::count(listed.begin(), listed.end(), '\n');
    }
};

TEST_F(SyncTest, OnlyWhatChangedIsSentAndCheckSeesEveryDifference) {
    const fs::path local = dir / "project";
    fs::create_directories(local);
    for (int i = 0; i < 30; ++i)
        WriteFile(local / ("文件-" + std::to_string(i) + ".txt"), "content " + std::to_string(i));
    const std::string remote = "备份";
    struct Step {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> args;
        int exitCode;
        std::string out;  // the first line, or a line it must hold
        long mails;       // in the remote folder afterwards; -1: no folder
    } steps[] = {
        {"dry run sends nothing", [] {}, {"sync", "--dry-run", local.string(), remote}, 0, "send\t文件-0.txt", -1},
        {"first sync", [] {}, {"sync", local.string(), remote}, 0, "sent 30 file(s)", 30},
        {"same", [] {}, {"check", local.string(), remote}, 0, "", 30},
        {"second sync sends nothing",
         [] {},
         {"sync", local.string(), remote},
         0,
         "sent 0 file(s), 0 bytes; trashed 0; unchanged 30",
         30},
        {"one changed at the same size",
         [&] { WriteFile(local / "文件-3.txt", "CONTENT 3"); },
         {"sync", local.string(), remote},
         0,
         "sent 1 file(s), 9 bytes; trashed 1; unchanged 29",
         30},
        {"touched, same bytes",
         [&] { fs::last_write_time(local / "文件-4.txt", fs::file_time_type::clock::now()); },
         {"sync", local.string(), remote},
         0,
         "sent 0 file(s)",
         30},
        {"check lists differences",
         [&] { fs::remove(local / "文件-5.txt"), WriteFile(local / "new.txt", "n"); },
         {"check", local.string(), remote},
         1,
         "only here: new.txt\nonly there: 文件-5.txt\n",
         30},
        {"without --delete nothing is trashed",
         [] {},
         {"sync", local.string(), remote},
         0,
         "sent 1 file(s), 1 bytes; trashed 0; unchanged 29",
         31},
        {"--delete trashes what is gone",
         [] {},
         {"sync", "--delete", local.string(), remote},
         0,
         "sent 0 file(s), 0 bytes; trashed 1; unchanged 30",
         30},
        {"same again", [] {}, {"check", local.string(), remote}, 0, "", 30},
    };
    for (const Step& step : steps) {
        step.change();
        ProcessResult r = Run(step.args);
        EXPECT_EQ(r.exitCode, step.exitCode) << step.what << ": " << r.err;
        EXPECT_EQ(r.out.find(step.out) == std::string::npos, false) << step.what << ":\n" << r.out;
        if (step.out.empty()) {
            EXPECT_EQ(r.out, "") << step.what;
        }
        EXPECT_EQ(Mails(remote), step.mails) << step.what;
    }
    // The other way: a tree written back byte for byte with its times;
    // --delete spares what this machine wrote itself.
    const fs::path back = dir / "back";
    ASSERT_EQ(Run({"sync", "--download", remote, back.string()}).exitCode, 0);
    for (const auto& entry : fs::directory_iterator(local)) {
        EXPECT_EQ(ReadFile(back / entry.path().filename()), ReadFile(entry.path())) << entry.path();
        // A touch alone sends nothing (the bytes are the same), so the stored time is the earlier one.
        if (entry.path().filename() != fs::u8path("文件-4.txt")) {
            EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(
                          fs::last_write_time(back / entry.path().filename()) - fs::last_write_time(entry.path()))
                          .count(),
                      0)
                << entry.path();
        }
    }
    WriteFile(back / "mine.txt", "written here");
    ASSERT_EQ(Run({"rm", remote + "/文件-0.txt"}).exitCode, 0);
    ProcessResult down = Run({"sync", "--download", "--delete", remote, back.string()});
    EXPECT_EQ(down.out, "fetched 0 file(s), 0 bytes; deleted 1; unchanged 29\n") << down.err;
    EXPECT_FALSE(fs::exists(back / "文件-0.txt"));
    EXPECT_EQ(ReadFile(back / "mine.txt"), "written here");
    EXPECT_NE(down.err.find("kept 'mine.txt'"), std::string::npos) << down.err;
}

TEST_F(SyncTest, KilledAtSeededPointsASyncFinishesOnTheNextRunWithEachFileOnce) {
    ASSERT_EQ(Run({"signin"}).exitCode, 0);
    const fs::path local = dir / "big";
    fs::create_directories(local);
    std::mt19937 random(20261208);
    int killed = 0;
    for (int round = 0; round < 4; ++round) {
        // A new file of 5 parts of 64 KiB each round.
        std::string bytes(5 * 65536 - 7, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        WriteFile(local / ("part-" + std::to_string(round) + ".bin"), bytes);
        const std::vector<std::string> sync = {"--part-size", "64K", "sync", local.string(), "kept"};
        killed += Run(sync, std::uniform_int_distribution<int>(3, 25)(random)).exitCode == -1;
        ProcessResult again = Run(sync);
        ASSERT_EQ(again.exitCode, 0) << again.err;
        EXPECT_EQ(Run({"check", local.string(), "kept"}).exitCode, 0) << "round " << round;
    }
    const std::string listed = Run({"ls", "kept"}).out;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 4) << listed;
    EXPECT_EQ(listed.find("incomplete"), std::string::npos) << listed;
    EXPECT_EQ(Mails("kept"), 4 * 5);
    EXPECT_GE(killed, 2);
}

}  // namespace
