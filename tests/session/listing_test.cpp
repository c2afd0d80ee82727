// ListMessages: the request it sends, how it reads a page, and how it fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/alert.h"
#include "provider_mail.h"
#include "script_session.h"
#include "scripted_server.h"
#include "session/answer_rows.h"
#include "session/cells.h"
#include "session/listing.h"
#include "table_checks.h"

#include <random>

namespace {

using session::CellText;
using session::Status;
using testsupport::HttpAnswer;

std::string ExpectedListRequest(const std::string& hostPort, const std::string& folderId) {
    std::string body = "<?xml version=\"1.0\"?><object><int name=\"fid\">" + folderId +
                       "</int><string name=\"order\">date</string><boolean name=\"desc\">true</boolean>"
                       "<int name=\"start\">0</int><int name=\"limit\">50</int></object>";
    return testsupport::ExpectedShortRequest(hostPort, "mbox:listMessages", body);
}

// One message object in the provider's neat form.
std::string Message(const std::string& id, const std::string& subject, const std::string& received,
                    const std::string& flags = "'read':true,'draft':false,'attached':true") {
    return "{'id':'" + id +
           "','fid':1,'size':2048,'from':'\"Demo\" <demo@163.example>','to':'demo@163.example',"
           "'subject':'" +
           subject + "','sentDate':new Date(" + received + "),'receivedDate':new Date(" + received +
           "),'priority':3,'backgroundColor':0,'antiVirusStatus':'','label0':0,'flags':{" + flags + "}}";
}

std::string Page(const std::vector<std::string>& messages) {
    return testsupport::OkListAnswer(messages);
}

class ListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::PointSessionAt(session, server.HostPort());
        session::ClearMessageTable(table);
    }
    Status List(const std::string& folderId = "1") { return session::ListMessages(session, folderId, table); }

    testsupport::ScriptedServer server;
    session::Session session;
    session::MessageTable& table = session.messageTable;
};

TEST_F(ListingTest, SendsTheFirstPageRequestByteForByte) {
    server.PushAnswer(HttpAnswer(Page({})));
    ASSERT_EQ(List("65551"), Status::Ok);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], ExpectedListRequest(server.HostPort(), "65551"));
}

TEST_F(ListingTest, FillsRowsNewestFirstWithMonthsFromOne) {
    server.PushAnswer(
        HttpAnswer(Page({Message("m3", "c.txt", "2026,11,31,23,59,58"), Message("m2", "b.txt", "2026,9,1,8,0,0"),
                         Message("m1", "a.txt", "2026,0,5,10,20,30")})));
    ASSERT_EQ(List(), Status::Ok);
    ASSERT_EQ(session::UsedMessageRows(table), 3u);
    EXPECT_EQ(CellText(table.rows[0].id), "m3");
    EXPECT_EQ(CellText(table.rows[0].receivedDate), "2026,12,31,23,59,58");
    EXPECT_EQ(CellText(table.rows[1].receivedDate), "2026,10,1,8,0,0");
    EXPECT_EQ(CellText(table.rows[2].receivedDate), "2026,1,5,10,20,30");
    EXPECT_EQ(CellText(table.rows[2].subject), "a.txt");
    EXPECT_EQ(CellText(table.rows[2].size), "2048");
    EXPECT_EQ(CellText(table.rows[2].attached), "true");
}

TEST_F(ListingTest, RefusedAnswerLeavesTheTableAsItWas) {
    session::SetCell(table.rows[0].subject, "kept");
    server.PushAnswer(HttpAnswer("{'code':'FA_INVALID_SESSION'}"));
    EXPECT_EQ(List(), Status::Refused);
    EXPECT_EQ(CellText(table.rows[0].subject), "kept");
}

TEST_F(ListingTest, UnreachableHostFailsWithoutAlert) {
    int alerts = 0;
    platform::SetAlertHook([&](const std::string&, const std::string&) { ++alerts; });
    session::SetCell(session.host, "127.0.0.1:" + std::to_string(testsupport::ClosedPort()));
    EXPECT_EQ(List(), Status::ConnectWaitFailed);
    platform::SetAlertHook({});
    EXPECT_EQ(alerts, 0);
    EXPECT_EQ(session::UsedMessageRows(table), 0u);
}

TEST_F(ListingTest, SilentServerEndsWithTimeOut) {
    testsupport::Reply stall;
    stall.kind = testsupport::Reply::Kind::Stall;
    stall.stallMs = 3000;
    server.Push(stall);
    session.limits.idleTimeoutMs = 500;
    EXPECT_EQ(List(), Status::TimedOut);
}

// The reader alone, over answers of every shape the provider sends.
struct PageReader : ::testing::Test {
    PageReader() { session::InitMessageTable(table); }
    std::size_t Read(const std::string& body) {
        session::ClearMessageTable(table);
        return session::ReadMessagePage(body, table);
    }
    const session::MessageRow& Row(std::size_t i) { return table.rows[i]; }
    session::MessageTable table;
};

TEST_F(PageReader, MonthsCountFromOne) {
    struct Case {
        const char* answer;
        const char* stored;
    } cases[] = {
        {"2026,0,5,10,20,30", "2026,1,5,10,20,30"},     {"2026,8,5,10,20,30", "2026,9,5,10,20,30"},
        {"2026,9,5,10,20,30", "2026,10,5,10,20,30"},    {"2026,10,5,10,20,30", "2026,11,5,10,20,30"},
        {"2026,11,31,23,59,59", "2026,12,31,23,59,59"}, {"", ""},
        {"1999,9,9,9,9,9", "1999,10,9,9,9,9"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Read(Page({Message("m", "s", c.answer)})), 1u) << c.answer;
        EXPECT_EQ(CellText(Row(0).receivedDate), c.stored) << c.answer;
        EXPECT_EQ(CellText(Row(0).sentDate), c.stored) << c.answer;
    }
}

TEST_F(PageReader, SubjectsKeepEscapedQuotesAndKeyTexts) {
    // Each subject goes into the answer with its quotes escaped.
    const std::string subjects[] = {
        "it's.txt",
        "'id':'x','subject':'y'",
        "from sentDate receivedDate flags attached",
        "\xE6\x96\x87\xE4\xBB\xB6.bin",
        "a}b{c,d)e(",
        "''",
    };
    for (const std::string& subject : subjects) {
        std::string quoted;
        for (char ch : subject) quoted += ch == '\'' ? std::string("\\'") : std::string(1, ch);
        ASSERT_EQ(Read(Page({Message("m1", quoted, "2026,1,1,0,0,0"), Message("m2", "next", "2026,1,1,0,0,0")})), 2u)
            << subject;
        EXPECT_EQ(CellText(Row(0).subject), subject);
        EXPECT_EQ(CellText(Row(0).attached), "true");
        EXPECT_EQ(CellText(Row(1).id), "m2");
        EXPECT_EQ(CellText(Row(1).subject), "next");
    }
}

TEST_F(PageReader, FlagsOfEveryShapeCompleteTheRow) {
    struct Case {
        const char* flags;
        const char* read;
        const char* draft;
        const char* attached;
    } cases[] = {
        {"", "", "", ""},
        {"'attached':true", "", "", "true"},
        {"'read':false", "false", "", ""},
        {"'read':true,'draft':true,'attached':false", "true", "true", "false"},
        {"'report':true,'attached':true,'system':false", "", "", "true"},
        {"\n'read':true,\n'attached':true\n", "true", "", "true"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Read(Page({Message("m1", "a", "2026,1,1,0,0,0", c.flags), Message("m2", "b", "2026,1,1,0,0,0")})), 2u)
            << c.flags;
        EXPECT_EQ(CellText(Row(0).read), c.read) << c.flags;
        EXPECT_EQ(CellText(Row(0).draft), c.draft) << c.flags;
        EXPECT_EQ(CellText(Row(0).attached), c.attached) << c.flags;
        EXPECT_EQ(CellText(Row(1).id), "m2") << c.flags;
        EXPECT_EQ(CellText(Row(1).attached), "true") << c.flags;
    }
}

TEST_F(PageReader, AMissingMemberEmptiesOnlyItsOwnCell) {
    std::string noSize = Message("m1", "a", "2026,1,1,0,0,0");
    noSize.erase(noSize.find("'size':2048,"), 12);
    std::string noSubject = Message("m2", "b", "2026,1,1,0,0,0");
    noSubject.erase(noSubject.find("'subject':'b',"), 14);
    std::string noId = Message("m3", "c", "2026,1,1,0,0,0");
    noId.erase(noId.find("'id':'m3',"), 10);
    ASSERT_EQ(Read(Page({noSize, Message("m4", "d", "2026,2,1,0,0,0"), noId, noSubject})), 4u);
    EXPECT_EQ(CellText(Row(0).size), "");
    EXPECT_EQ(CellText(Row(0).subject), "a");
    EXPECT_EQ(CellText(Row(1).id), "m4");
    EXPECT_EQ(CellText(Row(1).size), "2048");
    EXPECT_EQ(CellText(Row(1).receivedDate), "2026,3,1,0,0,0");
    EXPECT_EQ(CellText(Row(2).id), "");
    EXPECT_EQ(CellText(Row(2).subject), "c");
    EXPECT_EQ(CellText(Row(3).id), "m2");
    // An empty subject ends the page for every reader of the table.
    EXPECT_EQ(session::UsedMessageRows(table), 3u);
}

// The field form: line breaks after "{" and ",", members nobody asked for
// (some of them objects and arrays that hold keys of their own), and a
// trailing total.
TEST_F(PageReader, FieldFormMembersAreSkipped) {
    std::string message =
        "{\n'ctrls':[{\n'id':'ctrl',\n'subject':'not a row'\n}],\n'id':'1:1tbiAQ',\n'fid':65550,\n"
        "'size':4096,\n'from':'demo@163.example',\n'to':'demo@163.example',\n'subject':'report.pdf',\n"
        "'sentDate':new Date(2026,9,3,4,5,6),\n'receivedDate':new Date(2026,9,3,4,5,7),\n'priority':3,\n"
        "'backgroundColor':0,\n'antiVirusStatus':'',\n'label0':0,\n'hmid':'<abc@163.example>',\n"
        "'expirytime':new Date(2026,0,1),\n'flags':{\n'read':true,\n'report':true,\n'system':false,\n"
        "'attached':true\n}\n}";
    std::string body =
        "{\n'code':'S_OK',\n'var':[\n" + message + ",\n" + message + "\n],\n'total':2,\n'midoffset':0\n}";
    ASSERT_EQ(Read(body), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(CellText(Row(i).id), "1:1tbiAQ");
        EXPECT_EQ(CellText(Row(i).fid), "65550");
        EXPECT_EQ(CellText(Row(i).subject), "report.pdf");
        EXPECT_EQ(CellText(Row(i).receivedDate), "2026,10,3,4,5,7");
        EXPECT_EQ(CellText(Row(i).read), "true");
        EXPECT_EQ(CellText(Row(i).attached), "true");
    }
}

TEST_F(PageReader, FiftyRowsAtMostAndTheLastRowStaysEmpty) {
    for (std::size_t count : {0u, 1u, 50u, 51u, 80u}) {
        std::vector<std::string> messages;
        for (std::size_t i = 0; i < count; ++i)
            messages.push_back(Message("m" + std::to_string(i), "s" + std::to_string(i), "2026,1,1,0,0,0"));
        EXPECT_EQ(Read(Page(messages)), std::min<std::size_t>(count, 50)) << count;
        EXPECT_EQ(session::UsedMessageRows(table), std::min<std::size_t>(count, 50)) << count;
        EXPECT_EQ(testsupport::MessageTableFault(table), "") << count;
        if (count >= 50) {
            EXPECT_EQ(CellText(Row(49).id), "m49");
        }
    }
}

TEST_F(PageReader, LongValuesAreCutToTheirCells) {
    std::string subject(2000, 's');
    std::string message = Message(std::string(100, 'i'), subject, "2026,1,1,0,0,0," + std::string(60, '9'));
    ASSERT_EQ(Read(Page({message})), 1u);
    EXPECT_EQ(CellText(Row(0).subject), subject.substr(0, 767));
    EXPECT_EQ(CellText(Row(0).id).size(), 31u);
    EXPECT_EQ(CellText(Row(0).receivedDate).size(), 26u);
    EXPECT_EQ(testsupport::MessageTableFault(table), "");
}

TEST_F(PageReader, CutGarbledAndRandomAnswersStayWithinTheTable) {
    std::mt19937 random(1206);
    std::vector<std::string> messages;
    for (int i = 0; i < 60; ++i)
        messages.push_back(Message("m" + std::to_string(i), "it\\'s " + std::to_string(i), "2026,9,1,2,3,4",
                                   i % 2 ? "'attached':true" : ""));
    std::string valid = Page(messages);
    for (int round = 0; round < 400; ++round) {
        std::string body = valid;
        switch (round % 4) {
        case 0: body.resize(random() % body.size()); break;
        case 1:
            for (int flips = 0; flips < 20; ++flips) body[random() % body.size()] = "{}[](),:'\\\n"[random() % 12];
            break;
        case 2:
            for (int flips = 0; flips < 20; ++flips) body[random() % body.size()] = static_cast<char>(random());
            break;
        default:
            body.assign(random() % 5000, '\0');
            for (char& c : body) c = static_cast<char>(random());
            break;
        }
        ASSERT_LE(Read(body), 50u) << round;
        ASSERT_EQ(testsupport::MessageTableFault(table), "") << round;
    }
}

TEST_F(ListingTest, AnswerPastTheBufferKeepsTheRowsItHolds) {
    // 50 messages with long subjects make an answer of more than 204800
    // bytes; the rows that arrived whole are kept, nothing past the table.
    std::vector<std::string> messages;
    for (int i = 0; i < 50; ++i)
        messages.push_back(Message("m" + std::to_string(i), std::string(5000, 'x'), "2026,1,1,0,0,0"));
    std::string body = Page(messages);
    ASSERT_GT(body.size(), 204800u);
    server.PushAnswer(HttpAnswer(body));
    ASSERT_EQ(List(), Status::Ok);
    std::size_t rows = session::UsedMessageRows(table);
    EXPECT_GT(rows, 30u);
    EXPECT_LT(rows, 50u);
    EXPECT_EQ(CellText(table.rows[rows - 1].id), "m" + std::to_string(rows - 1));
    EXPECT_EQ(testsupport::MessageTableFault(table), "");
}

TEST_F(ListingTest, RandomBytesNeverBreakTheTable) {
    std::mt19937 random(77);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(random() % 30000, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        if (round % 2) bytes = "{'code':'S_OK','var':[" + bytes;
        server.PushAnswer(HttpAnswer(bytes));
        Status status = List();
        EXPECT_TRUE(status == Status::Ok || status == Status::Refused) << session::StatusText(status);
        ASSERT_EQ(testsupport::MessageTableFault(table), "") << round;
    }
}

}  // namespace

namespace {

// Against the real provider, in both of its answer styles.
class ProviderListing : public ::testing::TestWithParam<const char*> {
protected:
    testsupport::ProviderProcess provider{{"bea@yeah.example:pw"}, {"--answer-style", GetParam()}};
    session::Session session;
    session::MessageTable& table = session.messageTable;

    std::vector<std::string> Subjects(const std::string& folderId) {
        session::ClearMessageTable(table);
        EXPECT_EQ(session::ListMessages(session, folderId, table), Status::Ok);
        std::vector<std::string> subjects;
        for (std::size_t i = 0; i < session::UsedMessageRows(table); ++i)
            subjects.emplace_back(CellText(table.rows[i].subject));
        return subjects;
    }
};

TEST_P(ProviderListing, PagesOfNoneOneFiftyAndFiftyOneMessages) {
    ASSERT_TRUE(provider.Running());
    ASSERT_TRUE(testsupport::SignInTo(session, provider, "bea@yeah.example", "pw"));
    EXPECT_TRUE(Subjects("1").empty());

    std::vector<std::string> delivered;  // oldest first
    auto deliver = [&](std::size_t upTo) {
        while (delivered.size() < upTo) {
            std::string subject = "file " + std::to_string(delivered.size()) + " it's <&> \xE6\x96\x87.txt";
            ASSERT_FALSE(testsupport::DeliverToSelf(session, subject).empty());
            delivered.push_back(subject);
        }
    };
    for (std::size_t count : {1u, 50u, 51u}) {
        deliver(count);
        std::vector<std::string> newestFirst(delivered.rbegin(), delivered.rend());
        if (newestFirst.size() > 50) newestFirst.resize(50);
        EXPECT_EQ(Subjects("1"), newestFirst) << count;
        EXPECT_EQ(testsupport::MessageTableFault(table), "");
        for (std::size_t i = 0; i < session::UsedMessageRows(table); ++i) {
            const session::MessageRow& row = table.rows[i];
            EXPECT_FALSE(CellText(row.id).empty());
            EXPECT_EQ(CellText(row.fid), "1");
            EXPECT_NE(CellText(row.read), "true");  // the field form leaves false flags out
            // Months are stored from 1: "YYYY,M,..." with M in 1..12.
            std::string date(CellText(row.receivedDate));
            std::size_t comma = date.find(',', 5);
            ASSERT_NE(comma, std::string::npos) << date;
            int month = std::stoi(date.substr(5, comma - 5));
            EXPECT_GE(month, 1) << date;
            EXPECT_LE(month, 12) << date;
        }
    }
}

TEST_P(ProviderListing, UnknownFolderIsRefused) {
    ASSERT_TRUE(provider.Running());
    ASSERT_TRUE(testsupport::SignInTo(session, provider, "bea@yeah.example", "pw"));
    session::ClearMessageTable(table);
    EXPECT_EQ(session::ListMessages(session, "424242", table), Status::Refused);
    EXPECT_EQ(session::ListMessages(session, "1<x>", table), Status::Refused);
    EXPECT_EQ(session::UsedMessageRows(table), 0u);
}

INSTANTIATE_TEST_SUITE_P(AnswerStyles, ProviderListing, ::testing::Values("neat", "field"));

}  // namespace
