// Folders moved whole by the desktop, planned against the in-memory mailbox:
// a dropped directory's folders made once and reused, a folder's tree
// planned to disk with every hostile name kept inside the target.
#include <gtest/gtest.h>

#include <fstream>

#include "app/tree_plan.h"
#include "memory_store.h"

namespace {

namespace fs = std::filesystem;

struct TreePlanTest : ::testing::Test {
    const fs::path dir = fs::path(::testing::TempDir()) /
                         ("plan-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    testsupport::MemoryStore store;

    void SetUp() override { fs::remove_all(dir), fs::create_directories(dir / "out"); }
    void TearDown() override { fs::remove_all(dir); }
    void Write(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << path.filename().string();
    }
};

TEST_F(TreePlanTest, ADroppedFolderIsMadeInTheTargetAndADropAgainReusesIt) {
    for (const char* path : {"照片/a/b/x.bin", "照片/a/y.txt", "照片/top.txt"}) Write(dir / fs::u8path(path));
    fs::create_directories(dir / "照片/empty");
    fs::create_symlink("/etc", dir / "照片/link");
    app::TreeUpload plan;
    // A trailing separator still names the folder.
    ASSERT_TRUE(app::PlanTreeUpload(dir / fs::u8path("照片") / "", plan).Ok());
    EXPECT_EQ(plan.dirs, (std::vector<std::string>{"照片", "照片/a", "照片/a/b", "照片/empty"}));
    std::vector<std::string> fileDirs;
    for (const app::TreeUploadFile& file : plan.files) fileDirs.push_back(file.dir);
    EXPECT_EQ(fileDirs, (std::vector<std::string>{"照片/a/b", "照片/a", "照片"}));
    EXPECT_EQ(plan.skipped.size(), 1u) << "the link, not followed";
    app::TreeUpload disk;
    EXPECT_FALSE(app::PlanTreeUpload("/", disk).Ok()) << "no name to store a whole disk under";

    std::map<std::string, std::string> made, again;
    ASSERT_TRUE(app::MakeTreeFolders(store, "7", plan.dirs, made).Ok());
    EXPECT_EQ(store.parents[made["照片"]], "7");
    EXPECT_EQ(store.parents[made["照片/a/b"]], made["照片/a"]);
    std::size_t folders = store.folders.size();
    ASSERT_TRUE(app::MakeTreeFolders(store, "7", plan.dirs, again).Ok());
    EXPECT_EQ(again, made);
    EXPECT_EQ(store.folders.size(), folders) << "nothing made twice";
}

TEST_F(TreePlanTest, AFolderIsPlannedInsideTheTargetWhateverItsNamesSay) {
    std::string work, sub, dots, linked, top;
    store.CreateFolder("7", "a/b", work);
    store.CreateFolder(work, "sub", sub);
    store.CreateFolder(work, "..", dots);
    store.CreateFolder(work, "linked", linked);
    store.CreateFolder("", "..", top);
    store.Add(sub, "in-sub.txt");
    store.Add(dots, "escaped.txt");
    store.Add(linked, "through-link.txt");
    fs::create_directories(dir / "elsewhere");
    fs::create_directories(dir / "out/a／b");
    fs::create_symlink(dir / "elsewhere", dir / "out/a／b/linked");

    app::TreeDownload plan;
    ASSERT_TRUE(app::PlanTreeDownload(store, work, dir / "out", nullptr, plan).Ok());
    ASSERT_EQ(plan.files.size(), 1u);
    EXPECT_EQ(plan.files[0].target, dir / "out" / fs::u8path("a／b/sub/in-sub.txt"));
    EXPECT_EQ(plan.skipped.size(), 4u) << "\"..\" and the link, each with its file";
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    EXPECT_FALSE(app::PlanTreeDownload(store, top, dir / "out", nullptr, plan).Ok()) << "a folder named ..";
    EXPECT_FALSE(app::PlanTreeDownload(store, "999", dir / "out", nullptr, plan).Ok()) << "no such folder";
}

}  // namespace
