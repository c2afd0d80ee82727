// sync and check run as processes against a real provider: a second sync
// sends nothing, a change sends one file and trashes the copy it replaces,
// --delete trashes what is gone, and --download writes the tree back.
// (A sync killed midway: its puts resume as resume_test's do, and what it
// plans for an incomplete copy is catalog's sync_plan_test.)
#include <algorithm>

#include "provider_cli.h"

namespace {

using namespace clitest;

class SyncTest : public ProviderCli {
protected:
    // The mails in the folder the path names; -1 when there is none.
    long Mails(const std::string& path) {
        const ProcessResult listed = Run({"ls", "--messages", path});
        return listed.exitCode != 0 ? -1 : std::count(listed.out.begin(), listed.out.end(), '\n');
    }
};

TEST_F(SyncTest, OnlyWhatChangedIsSentAndCheckSeesEveryDifference) {
    const fs::path local = dir / "project";
    fs::create_directories(local);
    for (int i = 0; i < 30; ++i)
        WriteFile(local / ("文件-" + std::to_string(i) + ".txt"), "content " + std::to_string(i));
    const std::string remote = "备份";
    const auto same = [] {};
    const auto rewrite = [&] { WriteFile(local / "文件-3.txt", "CONTENT 3"); };
    const auto touch = [&] { fs::last_write_time(local / "文件-4.txt", fs::file_time_type::clock::now()); };
    const auto swap = [&] { fs::remove(local / "文件-5.txt"), WriteFile(local / "new.txt", "n"); };
    const std::vector<std::string> sync = {"sync"}, check = {"check"}, prune = {"sync", "--delete"};
    struct Step {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> command;  // run on the local and the remote folder
        int exitCode;
        std::string out;  // the first line, or a line it must hold
        long mails;       // in the remote folder afterwards; -1: no folder
    } steps[] = {
        {"dry run sends nothing", same, {"sync", "--dry-run"}, 0, "send\t文件-0.txt", -1},
        {"first sync", same, sync, 0, "sent 30 file(s)", 30},
        {"same", same, check, 0, "", 30},
        {"second sync sends nothing", same, sync, 0, "sent 0 file(s), 0 bytes; trashed 0; unchanged 30", 30},
        {"one changed at the same size", rewrite, sync, 0, "sent 1 file(s), 9 bytes; trashed 1; unchanged 29", 30},
        {"touched, same bytes", touch, sync, 0, "sent 0 file(s)", 30},
        {"check lists differences", swap, check, 1, "only here: new.txt\nonly there: 文件-5.txt\n", 30},
        {"without --delete nothing is trashed", same, sync, 0, "sent 1 file(s), 1 bytes; trashed 0; unchanged 29", 31},
        {"--delete trashes what is gone", same, prune, 0, "sent 0 file(s), 0 bytes; trashed 1; unchanged 30", 30},
        {"same again", same, check, 0, "", 30},
    };
    for (const Step& step : steps) {
        step.change();
        std::vector<std::string> args = step.command;
        args.insert(args.end(), {local.string(), remote});
        ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, step.exitCode) << step.what << ": " << r.err;
        EXPECT_TRUE(step.out.empty() ? r.out.empty() : r.out.find(step.out) != std::string::npos) << step.what << ":\n"
                                                                                                  << r.out;
        EXPECT_EQ(Mails(remote), step.mails) << step.what;
    }
    // The top holds folders only: a tree command given it says so.
    for (const std::vector<std::string>& top : {std::vector<std::string>{"sync", local.string(), "/"},
                                                {"check", local.string(), "/"},
                                                {"sync", "--download", "/", local.string()},
                                                {"get", "-r", "/", local.string()}})
        EXPECT_NE(Run(top).err.find("'/' holds folders, no files"), std::string::npos) << top[1];
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
    // A new folder whose name could also be a file's key is made as a folder.
    WriteFile(dir / "one" / "a.txt", "a");
    EXPECT_EQ(Run({"sync", (dir / "one").string(), "kept"}).exitCode, 0);
    EXPECT_EQ(Mails("kept"), 1);
}

}  // namespace
