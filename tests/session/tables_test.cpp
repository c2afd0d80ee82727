#include "session/tables.h"

#include <gtest/gtest.h>

#include <string>

#include <vector>

#include "scripted_server.h"
#include "session/answer_rows.h"
#include "session/cells.h"

namespace {

using namespace session;

TEST(Cells, ValuesLongerThanACellAreCutAtCapacityMinusOne) {
    char cell[6];
    std::memset(cell, 'x', sizeof cell);
    SetCell(cell, "abcdefgh");
    EXPECT_EQ(CellText(cell), "abcde");
    EXPECT_EQ(cell[5], '\0');
    SetCell(cell, "ab");
    EXPECT_EQ(CellText(cell), "ab");
    for (std::size_t i = 2; i < sizeof cell; ++i) EXPECT_EQ(cell[i], '\0') << i;
}

TEST(Tables, ClearZeroesEveryCellOfEveryRow) {
    FolderTable folders;
    InitFolderTable(folders);
    MessageTable messages;
    InitMessageTable(messages);
    SetCell(folders.rows[kFolderRows - 1].name, "last");
    SetCell(messages.rows[kMessageRows - 1].subject, "past the page");
    SetCell(messages.rows[0].attached, "true");
    ClearFolderTable(folders);
    ClearMessageTable(messages);
    const auto* f = reinterpret_cast<const unsigned char*>(folders.rows.get());
    for (std::size_t i = 0; i < sizeof(FolderRow) * kFolderRows; ++i) ASSERT_EQ(f[i], 0) << i;
    const auto* m = reinterpret_cast<const unsigned char*>(messages.rows.get());
    for (std::size_t i = 0; i < sizeof(MessageRow) * kMessageRows; ++i) ASSERT_EQ(m[i], 0) << i;
    FreeFolderTable(folders);
    FreeMessageTable(messages);
    EXPECT_EQ(UsedFolderRows(folders), 0u);
}

std::string FolderObject(int id, const std::string& name) {
    return "{'id':" + std::to_string(id) + ",'name':'" + name +
           "','messageCount':2,'messageSize':10,'unreadMessageCount':1,'unreadMessageSize':5,'threadCount':2,"
           "'unreadThreadCount':1}";
}

TEST(FolderList, AHundredAndFirstFolderIsDropped) {
    std::vector<std::string> folders;
    for (int i = 1; i <= 101; ++i) folders.push_back(FolderObject(i, "f" + std::to_string(i)));
    std::string answer = testsupport::OkListAnswer(folders);
    FolderTable table;
    InitFolderTable(table);
    EXPECT_EQ(ReadFolderList(answer, table), kFolderRows);
    EXPECT_EQ(UsedFolderRows(table), kFolderRows);
    EXPECT_STREQ(table.rows[99].id, "100");
    EXPECT_STREQ(table.rows[99].name, "f100");
}

TEST(FolderList, KeyTextsInsideNamesDoNotCorruptRows) {
    std::string answer = "{'code':'S_OK','var':[" + FolderObject(65550, "paid") + "," +
                         FolderObject(65551, "'id':9,'name':'x'") + "," + FolderObject(65552, "unreadThreadCount") +
                         "]}";
    FolderTable table;
    InitFolderTable(table);
    ASSERT_EQ(ReadFolderList(answer, table), 3u);
    EXPECT_STREQ(table.rows[0].id, "65550");
    EXPECT_STREQ(table.rows[0].name, "paid");
    EXPECT_STREQ(table.rows[1].id, "65551");
    EXPECT_STREQ(table.rows[2].id, "65552");
    EXPECT_STREQ(table.rows[2].unreadThreadCount, "1");
}

TEST(FolderList, LongNameIsCutToItsCell) {
    std::string name(200, 'n');
    FolderTable table;
    InitFolderTable(table);
    ASSERT_EQ(ReadFolderList("{'var':[" + FolderObject(7, name) + "]}", table), 1u);
    EXPECT_EQ(std::string(table.rows[0].name), name.substr(0, 63));
    EXPECT_STREQ(table.rows[0].messageCount, "2");
}

}  // namespace
