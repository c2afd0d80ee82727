// The readers of the folder list and of a page of messages: the field form
// with members nobody asked for, values in every shape, the tables' bounds,
// and random input.
#include <gtest/gtest.h>

#include <random>

#include "session/answer_rows.h"
#include "session_fixture.h"

namespace {

using session::CellText;

std::string Message(const std::string& id, const std::string& subject, const std::string& date,
                    const std::string& flags) {
    return "{\n'ctrls':[{'id':'c','subject':'not a row'}],\n'id':'" + id + "',\n'fid':1,\n'size':2048,\n'subject':'" +
           subject + "',\n'sentDate':new Date(" + date + "),\n'receivedDate':new Date(" + date + "),\n'flags':{" +
           flags + "}}";
}

TEST(AnswerRows, PagesAndFolderListsInEveryShapeWithinTheTables) {
    // clang-format off
    const std::vector<std::vector<std::string>> shapes = {  // date, stored, subject, shown, flags, read, attached
        {"2026,0,5,10,20,30", "2026,1,5,10,20,30", "it\\'s.txt", "it's.txt", "", "", ""},
        {"2026,8,1,0,0,0", "2026,9,1,0,0,0", "\\'id\\':\\'x\\',\\'subject\\':", "'id':'x','subject':", "'read':false", "false", ""},
        {"2026,9,1,0,0,0", "2026,10,1,0,0,0", "a}b{c", "a}b{c", "'read':true,'draft':true,'attached':false", "true", "false"},
        {"2026,11,31,23,59,58", "2026,12,31,23,59,58", "x", "x", "'report':true,\n'attached':true", "", "true"},
        {"", "", std::string(900, 's'), std::string(767, 's'), "'attached':true", "", "true"}};
    // clang-format on
    std::vector<std::string> objects;
    for (int i = 0; i < 60; ++i) {
        const auto& c = shapes[i % shapes.size()];
        objects.push_back(Message(i ? "m" + std::to_string(i) : std::string(40, 'i'), c[2], c[0], c[4]));
    }
    session::MessageTable page;
    session::InitMessageTable(page);
    ASSERT_EQ(session::ReadMessagePage(testsupport::OkListAnswer(objects), page), 50u);
    EXPECT_EQ(CellText(page.rows[0].id), std::string(31, 'i'));
    for (std::size_t i = 0; i < 50; ++i) {
        const auto& c = shapes[i % shapes.size()];
        const session::MessageRow& row = page.rows[i];
        EXPECT_EQ(CellText(row.receivedDate), c[1]);
        EXPECT_EQ(CellText(row.subject), c[3]);
        EXPECT_EQ(CellText(row.read), c[5]);
        ASSERT_EQ(CellText(row.attached), c[6]) << i;
    }
    auto allZero = [](const auto* rows, std::size_t count) {
        const char* bytes = reinterpret_cast<const char*>(rows);
        return std::all_of(bytes, bytes + count * sizeof *rows, [](char b) { return !b; });
    };
    EXPECT_TRUE(allZero(&page.rows[50], 1));

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
    session::ClearMessageTable(page);
    EXPECT_TRUE(allZero(page.rows.get(), session::kMessageRows));

    // Cut, garbled and random answers keep every cell a terminated text.
    std::mt19937 random(1206);
    const std::string valid = testsupport::OkListAnswer(objects);
    for (int round = 0; round < 200; ++round) {
        std::string body = valid.substr(0, round % 2 ? valid.size() : random() % valid.size());
        for (int flip = 0; flip < round % 40; ++flip) body[random() % body.size()] = static_cast<char>(random());
        session::ClearMessageTable(page);
        ASSERT_LE(session::ReadMessagePage(body, page), 50u);
        for (std::size_t i = 0; i < session::kMessageRows; ++i) {
            ASSERT_EQ(page.rows[i].subject[sizeof page.rows[i].subject - 1], 0);
            ASSERT_EQ(page.rows[i].id[sizeof page.rows[i].id - 1], 0);
        }
    }
}

}  // namespace
