// Paths over nested folders: names of any script, "／" for a name's own "/",
// ids that keep naming their folder, and mkdir -p that stops where the store
// refuses.
#include <gtest/gtest.h>

#include "catalog/folder_tree.h"
#include "memory_store.h"

namespace {

using catalog::FolderTree;
using catalog::StoreCode;

// 7 files / 工作文档 / 2026 / 三月, a name holding "/" and a folder named
// like an id of another.
struct Fixture {
    testsupport::MemoryStore store;
    std::string docs, year, march, slashed, digits;
    FolderTree tree;

    Fixture() {
        store.CreateFolder("", "工作文档", docs);
        store.CreateFolder(docs, "2026", year);
        store.CreateFolder(year, "三月", march);
        store.CreateFolder(docs, "a/b", slashed);
        store.CreateFolder("", "9", digits);  // a name that is also archive's id
        EXPECT_TRUE(FolderTree::Load(store, tree).Ok());
    }
};

TEST(FolderTree, PathsNameTheirFolders) {
    Fixture f;
    struct Case {
        std::string path;
        StoreCode code;
        std::string id, detail;
    } table[] = {
        {"", StoreCode::Ok, "", ""},
        {"/", StoreCode::Ok, "", ""},
        {"工作文档/2026/三月", StoreCode::Ok, f.march, ""},
        {"/工作文档//2026/./三月/", StoreCode::Ok, f.march, ""},
        {"工作文档/a／b", StoreCode::Ok, f.slashed, ""},
        {"工作文档/a/b", StoreCode::NotFound, "", "'工作文档/a'"},  // the name's "/" is not a level
        {"工作文档/2026/四月/x", StoreCode::NotFound, "", "'工作文档/2026/四月'"},
        {"工作文档/../files", StoreCode::Refused, "", "'..'"},
        {"9", StoreCode::Ok, "9", ""},  // an id keeps naming its folder
        {f.march, StoreCode::Ok, f.march, ""},
        {"files", StoreCode::Ok, "7", ""},
        {"12345", StoreCode::NotFound, "", "'12345'"},
    };
    for (const Case& c : table) {
        std::string id = "stale";
        catalog::Outcome outcome = f.tree.Find(c.path, id);
        EXPECT_EQ(outcome.code, c.code) << c.path << ": " << outcome.Text();
        EXPECT_EQ(id, c.id) << c.path;
        EXPECT_NE(outcome.detail.find(c.detail), std::string::npos) << c.path << ": " << outcome.detail;
    }
    // Every path PathOf gives finds its folder again (the folder named "9"
    // is the one a path cannot reach: the id wins).
    for (const std::string& id : {f.march, f.slashed, std::string("7")}) {
        std::string back;
        EXPECT_TRUE(f.tree.Find(f.tree.PathOf(id), back).Ok()) << id;
        EXPECT_EQ(back, id) << f.tree.PathOf(id);
    }
    EXPECT_EQ(f.tree.PathOf(f.slashed), "工作文档/a／b");
    auto children = f.tree.Children(f.docs);
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].name, "2026");
    EXPECT_EQ(children[1].name, "a/b");
}

TEST(FolderTree, MakeFolderPathMakesWhatIsMissingAndNamesARefusal) {
    struct Case {
        std::string path;
        int storesThatWork;  // -1: all
        int made;
        StoreCode code;
        std::string detail;          // of a failure; of a success, the last folder's name
        bool madeMeanwhile = false;  // the last folder made by another client, unknown to the tree
    } table[] = {
        {"工作文档/2026/三月", -1, 0, StoreCode::Ok, "三月"},
        {"工作文档/2026/四月/第一周", -1, 2, StoreCode::Ok, "第一周"},
        {"新/x／y", -1, 2, StoreCode::Ok, "x/y"},
        {"工作文档/2026/四月/第一周", 1, 1, StoreCode::Refused, "'工作文档/2026/四月/第一周'"},
        {"a/../b", -1, 0, StoreCode::Refused, "'..'"},
        {"工作文档/2026/五月", -1, 0, StoreCode::Ok, "五月", true},
    };
    for (const Case& c : table) {
        Fixture f;
        testsupport::MemoryStore& limited = f.store;
        limited.foldersBeforeRefusal = c.storesThatWork;
        std::string id, parent;
        if (c.madeMeanwhile)
            ASSERT_TRUE(f.tree.Find("工作文档/2026", parent).Ok() && limited.CreateFolder(parent, c.detail, id).Ok());
        std::size_t before = limited.folders.size();
        catalog::Outcome outcome = catalog::MakeFolderPath(limited, f.tree, c.path, id);
        EXPECT_EQ(outcome.code, c.code) << c.path << ": " << outcome.Text();
        EXPECT_EQ(limited.folders.size() - before, static_cast<std::size_t>(c.made)) << c.path;
        if (!outcome.Ok()) {
            EXPECT_NE(outcome.detail.find(c.detail), std::string::npos) << outcome.detail;
            continue;
        }
        // The tree knows what was made, and a fresh listing agrees with it.
        std::string known, listed;
        EXPECT_TRUE(f.tree.Find(c.path, known).Ok());
        FolderTree fresh;
        ASSERT_TRUE(FolderTree::Load(limited, fresh).Ok());
        EXPECT_TRUE(fresh.Find(c.path, listed).Ok()) << c.path;
        EXPECT_EQ(id, known);
        EXPECT_EQ(id, listed);
        ASSERT_TRUE(fresh.Folder(id));
        EXPECT_EQ(fresh.Folder(id)->name, c.detail) << c.path;
    }
}

TEST(FolderTree, ALoopOfParentsEndsAndAnOrphanStaysVisible) {
    testsupport::MemoryStore store;
    store.parents = {{"7", "9"}, {"9", "7"}, {"1", "404"}};
    FolderTree tree;
    ASSERT_TRUE(FolderTree::Load(store, tree).Ok());
    EXPECT_FALSE(tree.PathOf("7").empty());
    std::string id;
    EXPECT_TRUE(tree.Find("inbox", id).Ok());
    EXPECT_EQ(id, "1");
}

}  // namespace
