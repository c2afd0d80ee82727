// What a sync plans from the two sides and its record: nothing unchanged is
// sent, hashed again or read again; a replaced or interrupted copy is
// trashed only when whole; a local file is deleted only as a sync left it.
#include <gtest/gtest.h>

#include "catalog/sync_plan.h"

namespace {

using namespace catalog;

struct Side {
    std::vector<LocalFile> local;
    std::vector<RemoteFile> remote;
    SyncRecord record;
};

// Local "a/x" holds bytes whose digest is "sha-" + its content tag; remote
// files carry their digest in `remoteSha`.
LocalFile Local(const std::string& path, std::uint64_t size, std::int64_t mtime) {
    return {path, path, size, mtime};
}
// The stored name is the path's last level without the drive's "~" mark.
RemoteFile Remote(const std::string& path, const std::string& key, std::uint64_t size, bool whole = true) {
    RemoteFile file{path, {}};
    file.entry.key = key;
    file.entry.name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    file.entry.name = file.entry.name.substr(0, file.entry.name.find('~'));
    file.entry.sizeKnown = true;
    file.entry.size = size;
    if (!whole) file.entry.missing.push_back({2, 2});
    return file;
}

struct Case {
    const char* what;
    Side side;
    std::map<std::string, std::string> localSha, remoteSha;  // by path, by key
    bool down, remove;
    std::string steps;  // "action path[ key][ <replaced>];" in order
    int hashes, reads;
};

std::string Shown(const std::vector<SyncStep>& steps) {
    const char* names[] = {"send", "trash", "fetch", "delete", "keep"};
    std::string out;
    for (const SyncStep& step : steps) {
        out += std::string(names[static_cast<int>(step.action)]) + " " + step.path;
        if (!step.key.empty()) out += " " + step.key;
        for (const std::string& key : step.replaced) out += " <" + key + ">";
        out += ";";
    }
    return out;
}

TEST(SyncPlan, StepsAndTheWorkTheyCost) {
    const SyncRecord asSynced{{"a/x", {5, 100, "sha-x", "k1"}}};
    // clang-format off
    const Case table[] = {
        {"new files are sent", {{Local("a/x", 5, 100), Local("y", 1, 1)}, {}, {}},
         {{"a/x", "sha-x"}, {"y", "sha-y"}}, {}, false, false, "send a/x;send y;", 2, 0},
        {"the same bytes there already: nothing sent", {{Local("a/x", 5, 100)}, {Remote("a/x", "k1", 5)}, {}},
         {{"a/x", "sha-x"}}, {{"k1", "sha-x"}}, false, false, "", 1, 1},
        {"unchanged since the record: no hash, no read", {{Local("a/x", 5, 100)}, {Remote("a/x", "k1", 5)}, asSynced},
         {}, {}, false, false, "", 0, 0},
        {"touched but the same bytes", {{Local("a/x", 5, 200)}, {Remote("a/x", "k1", 5)}, asSynced},
         {{"a/x", "sha-x"}}, {}, false, false, "", 1, 0},
        {"changed at the same size", {{Local("a/x", 5, 200)}, {Remote("a/x", "k1", 5)}, asSynced},
         {{"a/x", "sha-new"}}, {{"k1", "sha-x"}}, false, false, "send a/x <k1>;", 1, 1},
        {"an incomplete copy is never trashed", {{Local("a/x", 5, 100)}, {Remote("a/x", "k9", 5, false)}, {}},
         {{"a/x", "sha-x"}}, {}, false, false, "send a/x;", 1, 0},
        {"a copy left by an interrupted replace",
         {{Local("a/x", 5, 100)}, {Remote("a/x", "k1", 5), Remote("a/x~12345678", "k2", 5)}, {}},
         {{"a/x", "sha-x"}}, {{"k1", "sha-old"}, {"k2", "sha-x"}}, false, false, "trash a/x k1;", 1, 2},
        {"gone locally, kept without --delete", {{}, {Remote("a/x", "k1", 5)}, {}}, {}, {}, false, false, "", 0, 0},
        {"gone locally, trashed with --delete", {{}, {Remote("a/x", "k1", 5)}, {}}, {}, {}, false, true,
         "trash a/x k1;", 0, 0},
        {"download: missing and differing files fetched",
         {{Local("a/x", 5, 100)}, {Remote("a/x", "k1", 5), Remote("b", "k2", 3)}, {}},
         {{"a/x", "sha-mine"}}, {{"k1", "sha-x"}}, true, false, "fetch a/x k1;fetch b k2;", 1, 1},
        {"download: unchanged since the record", {{Local("a/x", 5, 100)}, {Remote("a/x", "k1", 5)}, asSynced},
         {}, {}, true, false, "", 0, 0},
        {"download --delete: only what a sync left, unchanged",
         {{Local("a/x", 5, 100), Local("mine", 1, 1), Local("a/y", 2, 7), Local("z", 3, 5)}, {},
          {{"a/x", {5, 100, "sha-x", "k1"}}, {"a/y", {2, 6, "sha-y", "k3"}}, {"z", {3, 5, "sha-z", ""}}}},
         {{"a/y", "sha-y2"}}, {}, true, true, "delete a/x;keep mine;keep a/y;keep z;", 0, 0},
    };
    // clang-format on
    for (const Case& c : table) {
        Side side = c.side;
        int hashes = 0, reads = 0;
        SyncSides sides{side.local, side.remote, side.record,
                        [&](const LocalFile& file, std::string& sha) {
                            ++hashes;
                            sha = c.localSha.count(file.path) ? c.localSha.at(file.path) : "unexpected";
                            return Outcome{};
                        },
                        [&](const RemoteFile& file, std::string& sha) {
                            ++reads;
                            sha = c.remoteSha.count(file.entry.key) ? c.remoteSha.at(file.entry.key) : "";
                            return Outcome{};
                        }};
        std::vector<SyncStep> steps;
        ASSERT_TRUE((c.down ? PlanSyncDown(sides, c.remove, steps) : PlanSyncUp(sides, c.remove, steps)).Ok());
        EXPECT_EQ(Shown(steps), c.steps) << c.what;
        EXPECT_EQ(hashes, c.hashes) << c.what;
        EXPECT_EQ(reads, c.reads) << c.what;
    }
}

TEST(SyncPlan, CheckListsEveryDifferenceAndTheRecordSurvivesOddPaths) {
    std::vector<LocalFile> local{Local("same", 1, 1), Local("differs", 1, 1), Local("only-here", 1, 1)};
    std::vector<RemoteFile> remote{Remote("same", "k1", 1), Remote("differs", "k2", 1), Remote("only-there", "k3", 1)};
    SyncRecord record;
    SyncSides sides{local, remote, record,
                    [](const LocalFile& file, std::string& sha) { return sha = "sha-" + file.path, Outcome{}; },
                    [](const RemoteFile& file, std::string& sha) {
                        return sha = file.entry.key == "k1" ? "sha-same" : "other", Outcome{};
                    }};
    std::vector<std::string> differences;
    ASSERT_TRUE(CompareTrees(sides, differences).Ok());
    EXPECT_EQ(differences,
              (std::vector<std::string>{"differs: differs", "only here: only-here", "only there: only-there"}));

    const auto file = std::filesystem::path(::testing::TempDir()) / "sync-record-test";
    SyncRecord odd{{"tab\there/100%\nline", {7, -3, "abc", "k/1"}}, {"plain", {1, 2, "def", ""}}};
    ASSERT_TRUE(SaveSyncRecord(file, odd));
    SyncRecord back = LoadSyncRecord(file);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back["tab\there/100%\nline"].key, "k/1");
    EXPECT_EQ(back["tab\there/100%\nline"].modifiedNs, -3);
    std::filesystem::remove(file);
}

}  // namespace
