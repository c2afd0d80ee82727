// The four folder operations: request bytes, reading the answers, verdicts
// and failures, against scripted servers.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/alert.h"
#include "provider_mail.h"
#include "script_session.h"
#include "scripted_server.h"
#include "session/answer_rows.h"
#include "session/cells.h"
#include "session/folders.h"
#include "table_checks.h"

namespace {

using session::CellText;
using session::Status;
using testsupport::HttpAnswer;

std::string NeatFolder(int id, const std::string& name, int unread = 1, int total = 2) {
    return "{'id':" + std::to_string(id) + ",'name':'" + name + "','messageCount':" + std::to_string(total) +
           ",'messageSize':10,'unreadMessageCount':" + std::to_string(unread) +
           ",'unreadMessageSize':5,'threadCount':2,'unreadThreadCount':1}";
}

// The form answers take in the field: a line break after every "{" and ",",
// members nobody asked for, and the counters in a nested 'stats' object.
std::string FieldFolder(int id, const std::string& name, int unread, int total) {
    return "{\n'id':" + std::to_string(id) + ",\n'name':'" + name +
           "',\n'parent':0,\n'keepPeriod':0,\n"
           "'expirytime':new Date(2026,0,1),\n'flags':{\n'system':true\n},\n'stats':{\n'messageCount':" +
           std::to_string(total) + ",\n'messageSize':10,\n'unreadMessageCount':" + std::to_string(unread) +
           ",\n'unreadMessageSize':5,\n'threadCount':2,\n'unreadThreadCount':1\n}\n}";
}

std::string FolderAnswer(const std::vector<std::string>& folders) {
    return testsupport::OkListAnswer(folders);
}

class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::PointSessionAt(session, server.HostPort());
        session::ClearFolderTable(session.folderTable);
        platform::SetAlertHook(
            [this](const std::string& caption, const std::string& text) { alerts.push_back(caption + "|" + text); });
    }
    void TearDown() override { platform::SetAlertHook({}); }
    std::string OnlyRequest() {
        auto requests = server.Requests();
        return requests.size() == 1 ? requests[0] : "(" + std::to_string(requests.size()) + " requests)";
    }
    const session::FolderRow& Row(std::size_t i) { return session.folderTable.rows[i]; }

    testsupport::ScriptedServer server;
    session::Session session;
    std::vector<std::string> alerts;
};

TEST_F(FoldersTest, GetAllFoldersSendsItsRequestByteForByte) {
    server.PushAnswer(HttpAnswer(FolderAnswer({})));
    ASSERT_EQ(session::GetAllFolders(session), Status::Ok);
    EXPECT_EQ(OnlyRequest(),
              testsupport::ExpectedShortRequest(server.HostPort(), "mbox:getAllFolders",
                                                "<?xml version=\"1.0\"?><object><boolean name=\"stats\">true</boolean>"
                                                "<boolean name=\"threads\">true</boolean></object>"));
    EXPECT_EQ(session::UsedFolderRows(session.folderTable), 0u);
}

TEST_F(FoldersTest, CreateSendsTheNameEscapedAndTheClosingLineEndCounted) {
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':[65550]}"));
    std::string id;
    ASSERT_EQ(session::CreateUserFolder(session, "R&D <2026>", id), Status::Ok);
    EXPECT_EQ(id, "65550");
    EXPECT_EQ(OnlyRequest(), testsupport::ExpectedLongRequest(
                                 server.HostPort(), "mbox:createUserFolders",
                                 "<?xml version=\"1.0\"?><object><array name=\"items\"><object><string name=\"name\">"
                                 "R&amp;D &lt;2026&gt;</string></object></array></object>\r\n"));
}

TEST_F(FoldersTest, RenameSendsIdAndNameEscaped) {
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':null}"));
    ASSERT_EQ(session::RenameFolder(session, "it's \"q\" \xE6\x96\x87", "65550"), Status::Ok);
    EXPECT_EQ(OnlyRequest(),
              testsupport::ExpectedShortRequest(
                  server.HostPort(), "mbox:updateFolders",
                  "<?xml version=\"1.0\"?><object><array name=\"items\"><object><int name=\"id\">65550</int>"
                  "<string name=\"name\">it&apos;s &quot;q&quot; \xE6\x96\x87</string></object></array>"
                  "</object>"));
}

TEST_F(FoldersTest, DeleteSendsTheId) {
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':null}"));
    ASSERT_EQ(session::DeleteFolder(session, "65551"), Status::Ok);
    EXPECT_EQ(OnlyRequest(),
              testsupport::ExpectedShortRequest(server.HostPort(), "mbox:deleteFolders",
                                                "<?xml version=\"1.0\"?><object><array name=\"ids\"><int>65551</int>"
                                                "</array></object>"));
}

TEST_F(FoldersTest, ANameCannotAddElementsToTheRequest) {
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':[65552]}"));
    std::string id;
    ASSERT_EQ(session::CreateUserFolder(session, "x</string></object><object><string name=\"name\">y", id), Status::Ok);
    std::string request = OnlyRequest();
    std::size_t body = request.find("\r\n\r\n");
    ASSERT_NE(body, std::string::npos);
    // One name element, one object in the items array.
    EXPECT_EQ(request.find("<string", body), request.rfind("<string"));
    EXPECT_EQ(request.find("<object><string", body), request.rfind("<object><string"));
}

TEST_F(FoldersTest, ReadsNeatAndFieldFormsInAnswerOrder) {
    for (bool field : {false, true}) {
        auto folder = field ? FieldFolder : [](int id, const std::string& name, int unread, int total) {
            return NeatFolder(id, name, unread, total);
        };
        server.PushAnswer(HttpAnswer(FolderAnswer({folder(1, "\xE6\x94\xB6\xE4\xBB\xB6\xE7\xAE\xB1", 3, 9),
                                                   folder(65551, "paid", 0, 0), folder(65550, "it\\'s id", 1, 51)})));
        session::ClearFolderTable(session.folderTable);
        ASSERT_EQ(session::GetAllFolders(session), Status::Ok) << field;
        ASSERT_EQ(session::UsedFolderRows(session.folderTable), 3u) << field;
        EXPECT_EQ(CellText(Row(0).name), "\xE6\x94\xB6\xE4\xBB\xB6\xE7\xAE\xB1");
        EXPECT_EQ(CellText(Row(0).unreadMessageCount), "3");
        EXPECT_EQ(CellText(Row(0).messageCount), "9");
        EXPECT_EQ(CellText(Row(1).id), "65551");
        EXPECT_EQ(CellText(Row(1).name), "paid");
        EXPECT_EQ(CellText(Row(1).messageCount), "0");
        EXPECT_EQ(CellText(Row(2).id), "65550");
        EXPECT_EQ(CellText(Row(2).name), "it's id");
        EXPECT_EQ(CellText(Row(2).messageCount), "51");
        EXPECT_EQ(CellText(Row(2).unreadThreadCount), "1");
    }
}

TEST_F(FoldersTest, NestedObjectsWithKeysArePartOfTheirFolder) {
    // A folder that names its parent as an object, before and after its own
    // keys: neither parent becomes a row of its own.
    std::string before = "{'parent':{'id':1,'name':'Inbox'},'id':65550,'name':'Docs','stats':{'messageCount':4}}";
    std::string after = "{'id':65551,'name':'Mail','parent':{'id':1,'name':'Inbox','stats':{'messageCount':9}}}";
    server.PushAnswer(HttpAnswer(FolderAnswer({before, after})));
    ASSERT_EQ(session::GetAllFolders(session), Status::Ok);
    ASSERT_EQ(session::UsedFolderRows(session.folderTable), 2u);
    EXPECT_EQ(CellText(Row(0).id), "65550");
    EXPECT_EQ(CellText(Row(0).name), "Docs");
    EXPECT_EQ(CellText(Row(0).messageCount), "4");
    EXPECT_EQ(CellText(Row(1).id), "65551");
    EXPECT_EQ(CellText(Row(1).messageCount), "");
}

TEST_F(FoldersTest, AZeroByteInTheListEndsItsValue) {
    // The folder list is read byte for byte, so a zero byte reaches the reader.
    std::string name("ab\0cd", 5);
    server.PushAnswer(HttpAnswer(FolderAnswer({NeatFolder(65550, name), NeatFolder(65551, "next")})));
    ASSERT_EQ(session::GetAllFolders(session), Status::Ok);
    ASSERT_EQ(session::UsedFolderRows(session.folderTable), 2u);
    EXPECT_EQ(CellText(Row(0).name), "ab");
    EXPECT_EQ(CellText(Row(1).name), "next");
    EXPECT_EQ(testsupport::FolderTableFault(session.folderTable), "");
}

TEST_F(FoldersTest, RefusedListLeavesTheTableUntouched) {
    session::SetCell(session.folderTable.rows[0].name, "kept");
    for (const char* answer : {"{'code':'FA_INVALID_SESSION'}", "", "not a script answer"}) {
        server.PushAnswer(HttpAnswer(answer));
        EXPECT_EQ(session::GetAllFolders(session), Status::Refused) << answer;
        EXPECT_EQ(CellText(Row(0).name), "kept");
    }
}

TEST_F(FoldersTest, MoreThanAHundredFoldersStayWithinTheTable) {
    std::vector<std::string> folders;
    for (int i = 0; i < 150; ++i) folders.push_back(FieldFolder(65550 + i, "f" + std::to_string(i), 0, i));
    server.PushAnswer(HttpAnswer(FolderAnswer(folders)));
    ASSERT_EQ(session::GetAllFolders(session), Status::Ok);
    EXPECT_EQ(session::UsedFolderRows(session.folderTable), session::kFolderRows);
    EXPECT_EQ(CellText(Row(99).name), "f99");
    EXPECT_EQ(testsupport::FolderTableFault(session.folderTable), "");
}

TEST_F(FoldersTest, AnAnswerPastTheBufferKeepsTheRowsItHolds) {
    // About 300 kB of folders: the answer is cut at 204800 bytes, mid-object.
    std::vector<std::string> folders;
    for (int i = 0; i < 3000; ++i) folders.push_back(NeatFolder(i, std::string(60, 'n')));
    server.PushAnswer(HttpAnswer(FolderAnswer(folders)));
    ASSERT_EQ(session::GetAllFolders(session), Status::Ok);
    EXPECT_EQ(session::UsedFolderRows(session.folderTable), session::kFolderRows);
    EXPECT_EQ(testsupport::FolderTableFault(session.folderTable), "");
}

TEST_F(FoldersTest, NewIdIsTakenOnlyFromAnAcceptingAnswer) {
    struct Case {
        const char* answer;
        Status status;
        const char* id;
    } cases[] = {
        {"{'code':'S_OK','var':[65550]}", Status::Ok, "65550"},
        {"{\n'code':'S_OK',\n'var':[\n65551\n]\n}", Status::Ok, "65551"},
        {"{'code':'S_OK','var':'65552'}", Status::Ok, "65552"},
        {"{'code':'S_OK','var':[]}", Status::Refused, ""},
        {"{'code':'S_OK'}", Status::Refused, ""},
        {"{'code':'FA_NAME_EXISTS','var':[65553]}", Status::Refused, ""},
        {"{'code':'S_OK','var':['abc']}", Status::Refused, ""},
        {"{'code':'S_OK','var':[12345678901234567890]}", Status::Refused, ""},  // 20 digits do not fit
        {"{'code':'S_OK','var':[1234567890123456789]}", Status::Ok, "1234567890123456789"},
        {"{'code':'S_OK','var':[", Status::Refused, ""},
        {"", Status::Refused, ""},
    };
    for (const Case& c : cases) {
        server.PushAnswer(HttpAnswer(c.answer));
        std::string id = "stale";
        EXPECT_EQ(session::CreateUserFolder(session, "n", id), c.status) << c.answer;
        EXPECT_EQ(id, c.id) << c.answer;
    }
    EXPECT_TRUE(alerts.empty());
}

TEST_F(FoldersTest, RenameAndDeleteReportTheProvidersVerdict) {
    for (const char* answer : {"{'code':'FA_ID_NOT_FOUND'}", "{'var':null}", ""}) {
        server.PushAnswer(HttpAnswer(answer));
        EXPECT_EQ(session::RenameFolder(session, "n", "9"), Status::Refused) << answer;
        EXPECT_EQ(session::DeleteFolder(session, "9"), Status::Refused) << answer;
    }
}

TEST_F(FoldersTest, ConnectFailuresAreReturnedWithoutAnAlert) {
    session::SetCell(session.host, "127.0.0.1:" + std::to_string(testsupport::ClosedPort()));
    std::string id = "stale";
    EXPECT_EQ(session::CreateUserFolder(session, "n", id), Status::ConnectFailed);
    EXPECT_EQ(id, "");
    EXPECT_EQ(session::RenameFolder(session, "n", "9"), Status::ConnectFailed);
    EXPECT_EQ(session::DeleteFolder(session, "9"), Status::ConnectFailed);
    EXPECT_EQ(session::GetAllFolders(session), Status::ConnectWaitFailed);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(FoldersTest, RequestsThatDoNotFitAreRefusedUnsent) {
    std::string id;
    std::string longName(1000, 'n');
    EXPECT_EQ(session::CreateUserFolder(session, longName, id), Status::RequestTooLarge);
    EXPECT_EQ(session::RenameFolder(session, longName, "9"), Status::RequestTooLarge);
    // Escaping counts: 200 "&" become 1000 bytes.
    EXPECT_EQ(session::RenameFolder(session, std::string(200, '&'), "9"), Status::RequestTooLarge);
    EXPECT_EQ(session::DeleteFolder(session, std::string(1000, '9')), Status::RequestTooLarge);
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(FoldersTest, CreateRequestFitsExactlyItsBuffer) {
    std::string name(1023, 'n');
    while (session::CreateUserFolderRequest(session, name).Overflowed()) name.pop_back();
    EXPECT_EQ(session::CreateUserFolderRequest(session, name).Size(), 1023u);
    EXPECT_TRUE(session::CreateUserFolderRequest(session, name + "n").Overflowed());
}

TEST_F(FoldersTest, RandomAnswersNeverBreakTheTable) {
    std::mt19937 random(20261206);
    std::string valid = FolderAnswer({FieldFolder(1, "Inbox", 1, 2), NeatFolder(65550, "Docs")});
    for (int round = 0; round < 300; ++round) {
        std::string body = valid;
        if (round % 3 == 0) {
            body.resize(random() % body.size());  // cut short
        } else if (round % 3 == 1) {
            for (int flips = 0; flips < 8; ++flips) body[random() % body.size()] = static_cast<char>(random());
        } else {
            body.assign(random() % 2000, '\0');
            for (char& c : body) c = static_cast<char>(random());
        }
        session::FolderTable table;
        session::InitFolderTable(table);
        std::size_t rows = session::ReadFolderList(body, table);
        ASSERT_LE(rows, session::kFolderRows);
        ASSERT_EQ(testsupport::FolderTableFault(table), "") << round;
    }
}

}  // namespace

namespace {

using testsupport::FolderById;
using testsupport::ReloadFolders;

// Against the real provider, in both of its answer styles.
class ProviderFolders : public ::testing::TestWithParam<const char*> {
protected:
    std::string NameOf(const std::string& id) {
        const session::FolderRow* row = FolderById(session, id);
        return row ? std::string(CellText(row->name)) : "(no folder " + id + ")";
    }

    testsupport::ProviderProcess provider{{"ann@126.example:pw"}, {"--answer-style", GetParam()}};
    session::Session session;
};

TEST_P(ProviderFolders, CreateRenameListAndDeleteNamesAsTyped) {
    ASSERT_TRUE(provider.Running());
    ASSERT_TRUE(testsupport::SignInTo(session, provider, "ann@126.example", "pw"));
    ASSERT_TRUE(ReloadFolders(session));
    ASSERT_EQ(session::UsedFolderRows(session.folderTable), 5u);  // the system folders
    const std::vector<std::string> names = {
        "R&D <2026>",  "a \"quoted\" 'name'",
        "id",          "\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9 \xE4\xBA\x8C",
        "paid",        "x</string><string name=\"name\">y",
        "back\\slash",
    };
    std::vector<std::string> ids;
    for (const std::string& name : names) {
        std::string id;
        ASSERT_EQ(session::CreateUserFolder(session, name, id), Status::Ok) << name;
        ASSERT_FALSE(id.empty());
        ids.push_back(id);
    }
    ASSERT_TRUE(ReloadFolders(session));
    EXPECT_EQ(session::UsedFolderRows(session.folderTable), 5u + names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const session::FolderRow* row = FolderById(session, ids[i]);
        ASSERT_NE(row, nullptr) << names[i];
        EXPECT_EQ(CellText(row->name), names[i]);
        EXPECT_EQ(CellText(row->messageCount), "0");
        EXPECT_EQ(CellText(row->unreadMessageCount), "0");
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(session::RenameFolder(session, names[(i + 1) % names.size()] + " & <1>", ids[i]), Status::Ok);
    ASSERT_TRUE(ReloadFolders(session));
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(NameOf(ids[i]), names[(i + 1) % names.size()] + " & <1>");
    for (const std::string& id : ids) ASSERT_EQ(session::DeleteFolder(session, id), Status::Ok);
    ASSERT_TRUE(ReloadFolders(session));
    EXPECT_EQ(session::UsedFolderRows(session.folderTable), 5u);
}

TEST_P(ProviderFolders, RefusalsAreReportedAndChangeNothing) {
    ASSERT_TRUE(provider.Running());
    ASSERT_TRUE(testsupport::SignInTo(session, provider, "ann@126.example", "pw"));
    std::string id;
    ASSERT_EQ(session::CreateUserFolder(session, "Docs", id), Status::Ok);
    std::string again;
    EXPECT_EQ(session::CreateUserFolder(session, "Docs", again), Status::Refused);  // the name is taken
    EXPECT_EQ(again, "");
    EXPECT_EQ(session::DeleteFolder(session, "1"), Status::Refused);  // the inbox stays
    EXPECT_EQ(session::DeleteFolder(session, "987654"), Status::Refused);
    EXPECT_EQ(session::RenameFolder(session, "Other", "987654"), Status::Refused);
    ASSERT_TRUE(ReloadFolders(session));
    EXPECT_EQ(session::UsedFolderRows(session.folderTable), 6u);
    EXPECT_EQ(NameOf(id), "Docs");

    // A session the provider does not know is refused everywhere.
    session::SetCell(session.sid, "ffffffffffffffffffffffffffffffff");
    session::ClearFolderTable(session.folderTable);
    EXPECT_EQ(session::GetAllFolders(session), Status::Refused);
    EXPECT_EQ(session::UsedFolderRows(session.folderTable), 0u);
    EXPECT_EQ(session::CreateUserFolder(session, "Other", again), Status::Refused);
    EXPECT_EQ(session::RenameFolder(session, "Other", id), Status::Refused);
    EXPECT_EQ(session::DeleteFolder(session, id), Status::Refused);
}

INSTANTIATE_TEST_SUITE_P(AnswerStyles, ProviderFolders, ::testing::Values("neat", "field"));

}  // namespace
