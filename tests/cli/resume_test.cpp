// vantlo-cli killed (SIGKILL) at seeded points of multi-part puts and gets,
// each point the moment the provider has seen a given number of requests,
// then run again: the folder holds each part once, nothing is left in the
// inbox, the file comes back byte-exact, and an existing target is never
// damaged meanwhile. All of it on one kept session: one sign-in. And what a
// put of several parts costs in requests.
#include <algorithm>
#include <random>

#include "provider_cli.h"

namespace {

using namespace clitest;
using ResumeTest = ProviderCli;

TEST_F(ResumeTest, KilledAtSeededPointsPutAndGetFinishOnTheNextRunWithEachPartOnce) {
    ASSERT_EQ(Run({"signin"}).exitCode, 0);
    std::string folder = Run({"mkdir", "Kept"}).out;
    folder.pop_back();
    std::mt19937 random(20261207);
    int killed = 0, resumed = 0;
    const fs::path target = dir / "target.bin";
    for (int point = 0; point < 12; ++point) {
        // 10 parts of 64 KiB and a short one; a new file at every point.
        std::string bytes(10 * 65536 + 999, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        const fs::path file = Write("kept-" + std::to_string(point) + ".bin", bytes);
        const std::vector<std::string> put = {"put", "--part-size", "64K", file.string(), folder};
        const int killAt = std::uniform_int_distribution<int>(3, 60)(random);
        killed += Run(put, killAt).exitCode == -1;
        ProcessResult again = Run(put);
        ASSERT_EQ(again.exitCode, 0) << "put killed at request " << killAt << ": " << again.err;
        resumed += again.err.find(" of 11 parts already stored") != std::string::npos;
        const std::string key = again.out.substr(0, again.out.find('\n'));
        // An existing target stays as it was until the whole file is there.
        std::ofstream(target, std::ios::binary) << "old";
        const int getKillAt = std::uniform_int_distribution<int>(3, 20)(random);
        killed += Run({"get", key, target.string()}, getKillAt).exitCode == -1;
        EXPECT_TRUE(ReadFile(target) == "old" || ReadFile(target) == bytes) << "get killed at request " << getKillAt;
        ASSERT_EQ(Run({"get", key, target.string()}).exitCode, 0);
        EXPECT_TRUE(ReadFile(target) == bytes) << "get killed at request " << getKillAt;
        EXPECT_FALSE(fs::exists(dir / "target.bin.vantlo-partial"));
    }
    // Every file once, whole (each of its parts once); nothing of them left in the inbox.
    const std::string listed = Run({"ls", folder}).out;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 12) << listed;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\t'), 12 * 4) << "no incomplete file:\n" << listed;
    EXPECT_EQ(Run({"find", "kept-", "1"}).out, "");
    EXPECT_EQ(Logged("/logins.jsp"), 1) << "one sign-in for every command";
    // A run may end between two looks at the log on a busy machine: most, not all, points kill.
    EXPECT_GE(killed, 16);
    EXPECT_GE(resumed, 4);
}

// What a put costs on the wire: a few requests a part (compose, upload,
// delivery, a look at the newest mails of the inbox, which finds it with its
// manifest, and its move), no search a part, and a handful for the whole put
// (the folders listed once, though named by path; one search for earlier
// parts in the folder and the inbox together, one for whether the folder is
// a vault).
TEST_F(ResumeTest, APutOfFourPartsSendsAFewRequestsAPartAndTwoSearches) {
    ASSERT_EQ(Run({"mkdir", "Counted"}).exitCode, 0);
    const fs::path file = Write("counted.bin", std::string(4 * 65536, 'x'));
    const auto base = static_cast<std::streamoff>(fs::file_size(log));
    ASSERT_EQ(Run({"put", "--part-size", "64K", file.string(), "/Counted"}).exitCode, 0);
    EXPECT_LE(Logged(" head ", base), 4 * 5 + 4);
    EXPECT_LE(Logged("searchMessages", base), 2);
}

}  // namespace
