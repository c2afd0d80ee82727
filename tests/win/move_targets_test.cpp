// The move targets of the context menu: which folders qualify, and the small
// command numbers that stand for their ids.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messagelist/move_targets.h"
#include "session/cells.h"

using messagelist::kFirstMoveCommand;
using messagelist::MoveTargets;

namespace {

struct FolderSpec {
    const char* id;
    const char* name;
};

session::FolderTable MakeFolders(const std::vector<FolderSpec>& folders) {
    session::FolderTable table;
    session::InitFolderTable(table);
    std::size_t row = 0;
    for (const FolderSpec& folder : folders) {
        session::SetCell(table.rows[row].id, folder.id);
        session::SetCell(table.rows[row].name, folder.name);
        ++row;
    }
    return table;
}

std::vector<std::string> IdsOf(const MoveTargets& targets) {
    std::vector<std::string> ids;
    for (const auto& target : targets.Targets()) ids.push_back(target.folderId);
    return ids;
}

TEST(MoveTargets, OnlyFoldersFromTheMovableIdOnQualify) {
    session::FolderTable table = MakeFolders({
        {"1", "收件箱"},
        {"5", "垃圾邮件"},
        {"4095", "just below"},
        {"4096", "first movable"},
        {"65535", "largest command"},
        {"65536", "too large for a command"},
        {"65550", "工作文档"},
        {"12345678901234", "fourteen digits"},
        {"12a", "not a number"},
        {"", "no id"},
        {"-5000", "negative"},
    });
    MoveTargets targets = MoveTargets::FromFolderTable(table);
    EXPECT_EQ(IdsOf(targets), (std::vector<std::string>{"4096", "65535", "65536", "65550", "12345678901234"}));
    ASSERT_EQ(targets.Targets().size(), 5u);
    EXPECT_EQ(targets.Targets()[3].nameUtf8, "工作文档");
}

TEST(MoveTargets, CommandsAreSmallAndMapBackToTheFolderIds) {
    session::FolderTable table = MakeFolders({{"65550", "a"}, {"1", "inbox"}, {"4294967296", "b"}, {"70000", "c"}});
    MoveTargets targets = MoveTargets::FromFolderTable(table);
    ASSERT_EQ(targets.Targets().size(), 3u);
    for (std::size_t i = 0; i < targets.Targets().size(); ++i) {
        const auto& target = targets.Targets()[i];
        EXPECT_EQ(target.command, kFirstMoveCommand + i);
        EXPECT_LE(target.command, 0xFFFFu) << "a command travels in 16 bits";
        EXPECT_GT(target.command, 8u) << "clear of the fixed commands";
        EXPECT_EQ(targets.FolderFor(target.command), target.folderId);
    }
    EXPECT_EQ(targets.FolderFor(kFirstMoveCommand + 3), std::nullopt);
    EXPECT_EQ(targets.FolderFor(3), std::nullopt);
    EXPECT_EQ(targets.FolderFor(65550 & 0xFFFF), std::nullopt) << "a cut folder id is no command";
}

TEST(MoveTargets, EveryRowOfAFullTableGetsACommand) {
    std::vector<std::string> ids;
    std::vector<FolderSpec> specs;
    for (std::size_t i = 0; i < session::kFolderRows; ++i) ids.push_back(std::to_string(65550 + i));
    for (const std::string& id : ids) specs.push_back({id.c_str(), "folder"});
    MoveTargets targets = MoveTargets::FromFolderTable(MakeFolders(specs));
    ASSERT_EQ(targets.Targets().size(), session::kFolderRows);
    EXPECT_EQ(targets.Targets().back().command, messagelist::kLastMoveCommand);
    EXPECT_EQ(targets.FolderFor(messagelist::kLastMoveCommand), ids.back());
}

TEST(MoveTargets, AnEmptyNameEndsTheRows) {
    session::FolderTable table = MakeFolders({{"70000", "a"}, {"70001", ""}, {"70002", "after the end"}});
    EXPECT_EQ(IdsOf(MoveTargets::FromFolderTable(table)), (std::vector<std::string>{"70000"}));
    session::FolderTable none;
    EXPECT_TRUE(MoveTargets::FromFolderTable(none).Empty()) << "a table never made";
}

TEST(MoveTargets, ReadsFolderIdsAsPlainDecimals) {
    struct Case {
        const char* cell;
        std::optional<std::uint64_t> expected;
    };
    const Case cases[] = {
        {"0", 0},
        {"4096", 4096},
        {"0065550", 65550},
        {"18446744073709551615", std::nullopt},
        {"", std::nullopt},
        {" 5", std::nullopt},
        {"5 ", std::nullopt},
        {"+5", std::nullopt},
        {"1234567890123456789", 1234567890123456789ull},
    };
    for (const Case& c : cases)
        EXPECT_EQ(messagelist::ReadFolderId(c.cell, std::strlen(c.cell) + 1), c.expected) << '"' << c.cell << '"';
    const char unterminated[4] = {'7', '0', '0', '0'};
    EXPECT_EQ(messagelist::ReadFolderId(unterminated, sizeof unterminated), 7000u) << "stops at the cell's end";
}

}  // namespace
