// Trees through the in-memory mailbox: a local tree put and got back with
// the same shape, bytes and times; what a hostile mailbox names and what a
// local link points at never leads a write outside the target.
#include <gtest/gtest.h>

#include "catalog/sync_times.h"
#include "catalog/tree_transfer.h"
#include "memory_store.h"
#include "scratch_files.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;
using testsupport::ReadFile;

struct TreeTest : ::testing::Test {
    testsupport::ScratchDir scratch;
    const fs::path dir = scratch.path;
    testsupport::MemoryStore store;
    FolderTree folders;
    TransferSettings settings{1, 7, {}, {}, nullptr};  // parts of 7 bytes, so files span parts

    void SetUp() override { fs::create_directories(dir / "out"); }
};

TEST_F(TreeTest, ATreeComesBackWithItsShapeBytesAndTimes) {
    const std::pair<std::string, std::string> table[] = {
        {"top.txt", "at the top"},
        {"工作文档/2026/三月/报告.pdf", "三月的报告, longer than a part"},
        {"工作文档/2026/notes.md", ""},
        {"工作文档/a／b/x", "a name holding a slash"},
        {"b/c/d/e.bin", std::string("nul\0inside", 10)},
    };
    for (const auto& [path, bytes] : table) testsupport::WriteFile(dir / "in" / fs::u8path(path), bytes);
    fs::create_directories(dir / "in/empty/deeper");
    fs::last_write_time(dir / "in/top.txt", FileTimeOf(1234567890));
    fs::create_symlink("/etc/passwd", dir / "in/link");

    LocalTree local;
    ASSERT_TRUE(WalkLocalTree(dir / "in", local).Ok());
    ASSERT_EQ(local.files.size(), std::size(table));
    ASSERT_EQ(local.skipped.size(), 1u);  // the link: never followed
    ASSERT_TRUE(FolderTree::Load(store, folders).Ok());
    std::vector<TreePutReport> put;
    ASSERT_TRUE(PutTree(store, folders, "7", local.dirs, local.files, settings, put).Ok());

    // A fresh listing sees the same tree: "／" came back as a name's "/".
    FolderTree listed;
    ASSERT_TRUE(FolderTree::Load(store, listed).Ok());
    std::string id;
    ASSERT_TRUE(listed.Find("files/工作文档/a／b", id).Ok());
    EXPECT_EQ(listed.Folder(id)->name, "a/b");
    RemoteTree remote;
    ASSERT_TRUE(WalkRemoteTree(store, listed, "7", remote).Ok());
    EXPECT_EQ(remote.dirs.size(), local.dirs.size());
    std::vector<TreeGetReport> got;
    std::vector<std::string> skipped;
    ASSERT_TRUE(GetTree(store, remote.dirs, remote.files, dir / "out", settings, got, skipped).Ok());
    EXPECT_TRUE(skipped.empty());
    for (const auto& [path, bytes] : table) EXPECT_EQ(ReadFile(dir / "out" / fs::u8path(path)), bytes) << path;
    EXPECT_TRUE(fs::is_directory(dir / "out/empty/deeper"));
    EXPECT_EQ(UtcSecondsOf(fs::last_write_time(dir / "out/top.txt")), 1234567890);
}

TEST_F(TreeTest, HostileNamesAndLinksNeverLeadOutside) {
    std::string dots, ok, linked;
    store.CreateFolder("7", "..", dots);
    store.CreateFolder("7", "ok", ok);
    store.CreateFolder("7", "linked", linked);
    store.Add(dots, "escaped.txt", "outside");
    // Names take the drive's shape (drive_names.h) inside the folder's
    // directory, or are refused; "" for a name that is not written.
    struct Case {
        std::string folder, name, written;
    } table[] = {
        {ok, "../../escape.txt",
         "ok/..\xEF\xBC\x8F..\xEF\xBC\x8F"
         "escape.txt"},
        {ok, std::string("nul\0.txt", 8), ""},
        {ok, "..", "ok/_.."},
        {ok, "fine.txt", "ok/fine.txt"},
        {ok, "fine.txt", ""},  // a second of the name gets the drive's mark
        {linked, "through-link.txt", ""},
    };
    for (const Case& c : table) store.Add(c.folder, c.name, "bytes");
    fs::create_directories(dir / "elsewhere");
    fs::create_symlink(dir / "elsewhere", dir / "out/linked");

    ASSERT_TRUE(FolderTree::Load(store, folders).Ok());
    RemoteTree remote;
    ASSERT_TRUE(WalkRemoteTree(store, folders, "7", remote).Ok());
    std::vector<TreeGetReport> got;
    std::vector<std::string> skipped;
    EXPECT_FALSE(GetTree(store, remote.dirs, remote.files, dir / "out", settings, got, skipped).Ok());
    EXPECT_EQ(skipped.size(), 2u);  // ".." and the link in the way
    int written = 0;
    for (const TreeGetReport& report : got) written += report.report.outcome.Ok();
    int expected = 1;  // the second fine.txt
    for (const Case& c : table) {
        expected += !c.written.empty();
        if (!c.written.empty()) {
            EXPECT_EQ(ReadFile(dir / "out" / c.written), "bytes") << c.written;
        }
    }
    EXPECT_EQ(written, expected);
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    EXPECT_FALSE(fs::exists(dir / "escaped.txt"));
    EXPECT_FALSE(fs::exists(dir / "escape.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out/ok"), {}), expected);
}

}  // namespace
