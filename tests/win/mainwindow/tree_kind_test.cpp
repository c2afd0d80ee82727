#include "mainwindow/tree_kind.h"

#include <gtest/gtest.h>

namespace {

using mainwindow::ClassifyTreeData;

constexpr std::uint32_t kRoot = 65537;

struct KindCase {
    std::uint32_t item, parent, grandparent;
    mainwindow::TreeItemKind kind;
};

TEST(ClassifyTreeItem, CoversEveryKindOfTheTable) {
    const KindCase cases[] = {
        // No parent: the account item, whatever its data.
        {kRoot, 0, 0, 65536},
        {0, 0, 0, 65536},
        {12345, 0, 99, 65536},
        // Under the account: the mail root item.
        {kRoot, kRoot, 0, 65537},
        // A folder item of id 0 counts as the mail root.
        {0, kRoot, kRoot, 65537},
        // Folders 1 to 10: 65537 + id.
        {1, kRoot, kRoot, 65538},
        {3, kRoot, kRoot, 65540},
        {5, kRoot, kRoot, 65542},
        {6, kRoot, kRoot, 65543},
        {7, kRoot, kRoot, 65544},
        {10, kRoot, kRoot, 65547},
        // 11 to 65549: no actions.
        {11, kRoot, kRoot, 0},
        {200, kRoot, kRoot, 0},
        {65537, kRoot, kRoot, 0},
        {65549, kRoot, kRoot, 0},
        // 65550 and more, compared unsigned: the large-id kind.
        {65550, kRoot, kRoot, 65549},
        {70000, kRoot, kRoot, 65549},
        {0x7FFFFFFF, kRoot, kRoot, 65549},
        {0x80000000, kRoot, kRoot, 65549},
        {0xFFFFFFFF, kRoot, kRoot, 65549},
        // Anything not hanging under the two root items offers nothing.
        {kRoot, 7, 0, 0},
        {7, kRoot, 8, 0},
        {7, 8, kRoot, 0},
        {1, 65536, kRoot, 0},
    };
    for (const KindCase& c : cases)
        EXPECT_EQ(ClassifyTreeData(c.item, c.parent, c.grandparent), c.kind)
            << "item " << c.item << " parent " << c.parent << " grandparent " << c.grandparent;
}

TEST(ClassifyTreeItem, OpenableAndRenamableKinds) {
    for (mainwindow::TreeItemKind kind = 65538; kind <= 65549; ++kind) EXPECT_TRUE(mainwindow::IsOpenableKind(kind));
    for (mainwindow::TreeItemKind kind : {0u, 65536u, 65537u, 65550u}) EXPECT_FALSE(mainwindow::IsOpenableKind(kind));
    for (mainwindow::TreeItemKind kind = 65538; kind <= 65542; ++kind) EXPECT_FALSE(mainwindow::IsRenamableKind(kind));
    for (mainwindow::TreeItemKind kind = 65543; kind <= 65549; ++kind) EXPECT_TRUE(mainwindow::IsRenamableKind(kind));
    for (mainwindow::TreeItemKind kind : {0u, 65536u, 65537u, 65550u}) EXPECT_FALSE(mainwindow::IsRenamableKind(kind));
}

TEST(FolderIdToItemData, ReadsDecimalIdsThatFitThirtyTwoBits) {
    struct Case {
        const char* text;
        std::uint32_t data;
    } cases[] = {
        {"1", 1},
        {"65550", 65550},
        {"4294967295", 4294967295u},
        {"0", 0},
        {"", 0},
        {"4294967296", 0},  // would not fit: no folder
        {"12a", 0},
        {"-3", 0},
        {" 7", 0},
        {"00042", 42},
        {"99999999999999", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(mainwindow::FolderIdToItemData(c.text), c.data) << c.text;
    EXPECT_EQ(mainwindow::FolderIdToItemData(nullptr), 0u);
}

}  // namespace
