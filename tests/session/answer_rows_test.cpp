// The reader of the folder list: the field form with members nobody asked
// for, values in every shape and the table's bounds. (Cut, garbled and
// random answers are the fuzz target answers_fuzz's.)
#include <gtest/gtest.h>

#include <algorithm>

#include "session/answer_rows.h"
#include "session_fixture.h"

namespace {

using session::CellText;

TEST(AnswerRows, FolderListsInEveryShapeWithinTheTable) {
    auto allZero = [](const auto* rows, std::size_t count) {
        const char* bytes = reinterpret_cast<const char*>(rows);
        return std::all_of(bytes, bytes + count * sizeof *rows, [](char b) { return !b; });
    };
    const std::string folders =
        "{'code':'S_OK','var':[{\n'id':1,\n'name':'\xE6\x94\xB6',\n'parent':{'id':9,'name':'x'},"
        "\n'stats':{\n'messageCount':12,\n'unreadMessageCount':3\n}\n},{'id':65550,'name':'it\\'s " +
        std::string(80, 'n') + "','messageCount':0}]}";
    session::FolderTable list;
    session::InitFolderTable(list);
    ASSERT_EQ(session::ReadFolderList(folders, list), 2u);
    EXPECT_EQ(CellText(list.rows[0].name), "\xE6\x94\xB6");
    EXPECT_EQ(CellText(list.rows[0].messageCount), "12");
    EXPECT_EQ(CellText(list.rows[0].unreadMessageCount), "3");
    EXPECT_EQ(CellText(list.rows[1].name), "it's " + std::string(58, 'n'));
    session::ClearFolderTable(list);
    EXPECT_TRUE(allZero(list.rows.get(), session::kFolderRows));
}

}  // namespace
