// The readers of the folder list and of a page of messages: both answer
// forms, values in every shape, the tables' bounds, and random input.
#include <gtest/gtest.h>

#include <random>

#include "session/answer_rows.h"
#include "session/row_reader.h"
#include "session_fixture.h"

namespace {

using session::CellPlace;
using session::CellText;

std::string Folder(int id, const std::string& name, bool field) {
    std::string n = std::to_string(id), sep = field ? ",\n" : ",";
    std::string counts = "'messageCount':" + n + sep + "'unreadMessageCount':" + std::to_string(id % 7) + sep +
                         "'messageSize':10" + sep + "'unreadThreadCount':1";
    if (field)
        return "{\n'id':" + n + ",\n'name':'" + name + "',\n'parent':{'id':1,'name':'Inbox'},\n" +
               "'expirytime':new Date(2026,0,1),\n'stats':{\n" + counts + "\n}\n}";
    return "{'id':" + n + ",'name':'" + name + "'," + counts + "}";
}

std::string Message(const std::string& id, const std::string& subject, const std::string& date,
                    const std::string& flags = "'attached':true") {
    return "{'ctrls':[{'id':'c','subject':'not a row'}],'id':'" + id +
           "','fid':1,'size':2048,'from':'\"D\" <d@163.example>','to':'d@163.example','subject':'" + subject +
           "','sentDate':new Date(" + date + "),'receivedDate':new Date(" + date +
           "),'priority':3,'backgroundColor':0,'antiVirusStatus':'','label0':0,'flags':{" + flags + "}}";
}

// Every cell is a terminated text followed by zero bytes, and the row past
// the page is never written.
template <class Row>
bool CellsSound(const Row* rows, std::size_t count, std::initializer_list<CellPlace> cells) {
    for (std::size_t r = 0; r < count; ++r)
        for (const CellPlace& cell : cells) {
            const char* text = reinterpret_cast<const char*>(&rows[r]) + cell.offset;
            if (std::any_of(std::find(text, text + cell.capacity, '\0'), text + cell.capacity, [](char c) { return c; }) ||
                std::find(text, text + cell.capacity, '\0') == text + cell.capacity)
                return false;
        }
    return true;
}

struct Tables {
    session::FolderTable folders;
    session::MessageTable messages;
    Tables() { session::InitFolderTable(folders), session::InitMessageTable(messages); }
    bool Sound() {
        using session::FolderRow, session::MessageRow;
        const char* last = messages.rows[session::kMessageRows - 1].id;
        return CellsSound(folders.rows.get(), session::kFolderRows, {VANTLO_CELL(FolderRow, id), VANTLO_CELL(FolderRow, name)}) &&
               CellsSound(messages.rows.get(), session::kMessageRows,
                       {VANTLO_CELL(MessageRow, id), VANTLO_CELL(MessageRow, subject), VANTLO_CELL(MessageRow, receivedDate),
                        VANTLO_CELL(MessageRow, attached)}) &&
               std::all_of(last, last + sizeof(MessageRow), [](char c) { return c == 0; });
    }
};

TEST(AnswerRows, FoldersInBothFormsWithinTheTable) {
    for (bool field : {false, true}) {
        Tables t;
        std::vector<std::string> folders = {Folder(1, "\xE6\x94\xB6\xE4\xBB\xB6", field), Folder(65551, "paid", field),
                                            Folder(65550, "it\\'s \\'id\\':9", field), Folder(7, std::string(80, 'n'), field)};
        for (int i = 0; i < 150; ++i) folders.push_back(Folder(70000 + i, "f" + std::to_string(i), field));
        ASSERT_EQ(session::ReadFolderList(testsupport::OkListAnswer(folders), t.folders), session::kFolderRows);
        const session::FolderRow* row = t.folders.rows.get();
        EXPECT_EQ(CellText(row[0].name), "\xE6\x94\xB6\xE4\xBB\xB6");
        EXPECT_EQ(CellText(row[1].id), "65551");
        EXPECT_EQ(CellText(row[1].unreadMessageCount), "3");
        EXPECT_EQ(CellText(row[2].name), "it's 'id':9");
        EXPECT_EQ(CellText(row[2].messageCount), "65550");
        EXPECT_EQ(CellText(row[2].unreadThreadCount), "1");
        EXPECT_EQ(CellText(row[3].name), std::string(63, 'n'));
        EXPECT_EQ(CellText(row[99].name), "f95");
        EXPECT_TRUE(t.Sound());
    }
}

TEST(AnswerRows, MessagesWithMonthsFromOneEscapedSubjectsAndEveryFlagShape) {
    struct Case {
        std::string date, stored, subject, shown, flags, read, attached;
    } cases[] = {
        {"2026,0,5,10,20,30", "2026,1,5,10,20,30", "it\\'s.txt", "it's.txt", "", "", ""},
        {"2026,8,1,0,0,0", "2026,9,1,0,0,0", "\\'id\\':\\'x\\',\\'subject\\':", "'id':'x','subject':", "'read':false",
         "false", ""},
        {"2026,9,1,0,0,0", "2026,10,1,0,0,0", "a}b{c,d)e(", "a}b{c,d)e(", "'read':true,'draft':true,'attached':false",
         "true", "false"},
        {"2026,11,31,23,59,58", "2026,12,31,23,59,58", "x", "x", "'report':true,'attached':true", "", "true"},
        {"", "", std::string(900, 's'), std::string(767, 's'), "\n'read':true,\n'attached':true\n", "true", "true"},
    };
    for (const Case& c : cases) {
        Tables t;
        std::string body = testsupport::OkListAnswer({Message("m1", c.subject, c.date, c.flags),
                                                      Message(std::string(40, 'i'), "next", "2026,1,1,0,0,0")});
        ASSERT_EQ(session::ReadMessagePage(body, t.messages), 2u) << c.subject;
        const session::MessageRow* row = t.messages.rows.get();
        EXPECT_EQ(CellText(row[0].receivedDate), c.stored) << c.date;
        EXPECT_EQ(CellText(row[0].subject), c.shown);
        EXPECT_EQ(CellText(row[0].read), c.read) << c.flags;
        EXPECT_EQ(CellText(row[0].attached), c.attached) << c.flags;
        EXPECT_EQ(CellText(row[0].size), "2048");
        EXPECT_EQ(CellText(row[1].id), std::string(31, 'i'));
        EXPECT_TRUE(t.Sound());
    }
}

TEST(AnswerRows, FiftyMessagesAtMostAndAMissingSubjectEndsThePage) {
    Tables t;
    std::vector<std::string> messages;
    for (int i = 0; i < 80; ++i) messages.push_back(Message("m" + std::to_string(i), "s", "2026,1,1,0,0,0"));
    EXPECT_EQ(session::ReadMessagePage(testsupport::OkListAnswer(messages), t.messages), 50u);
    EXPECT_EQ(CellText(t.messages.rows[49].id), "m49");
    EXPECT_TRUE(t.Sound());
    session::ClearMessageTable(t.messages);
    std::string noSubject = Message("m2", "b", "2026,1,1,0,0,0");
    noSubject.erase(noSubject.find("'subject':'b',"), 14);
    session::ReadMessagePage(testsupport::OkListAnswer({Message("m1", "a", "2026,1,1,0,0,0"), noSubject}), t.messages);
    EXPECT_EQ(session::UsedMessageRows(t.messages), 1u);
    EXPECT_EQ(CellText(t.messages.rows[1].id), "m2");
}

TEST(AnswerRows, CutGarbledAndRandomAnswersStayWithinTheTables) {
    std::mt19937 random(1206);
    std::vector<std::string> objects;
    for (int i = 0; i < 60; ++i)
        objects.push_back(i % 2 ? Message("m" + std::to_string(i), "it\\'s", "2026,9,1,2,3,4") : Folder(i, "f", true));
    const std::string valid = testsupport::OkListAnswer(objects);
    Tables t;
    for (int round = 0; round < 300; ++round) {
        std::string body = valid;
        if (round % 3 == 0) body.resize(random() % body.size());
        for (int flips = round % 3 == 1 ? 20 : 0; flips > 0; --flips)
            body[random() % body.size()] = "{}[](),:'\\\n\x01"[random() % 13];
        if (round % 3 == 2)
            for (char& c : body) c = static_cast<char>(random());
        session::ClearFolderTable(t.folders);
        session::ClearMessageTable(t.messages);
        ASSERT_LE(session::ReadFolderList(body, t.folders), session::kFolderRows);
        ASSERT_LE(session::ReadMessagePage(body, t.messages), session::kMessagePageSize);
        ASSERT_TRUE(t.Sound()) << round;
    }
}

}  // namespace
