// MoveMessages and DeleteMessages: request bytes, verdicts and failures.
#include <gtest/gtest.h>

#include <string>

#include "platform/alert.h"
#include "provider_mail.h"
#include "script_session.h"
#include "scripted_server.h"
#include "session/listing.h"
#include "session/message_moves.h"

namespace {

using session::MessageIdQueue;
using session::Status;
using testsupport::HttpAnswer;

const char kOk[] = "{'code':'S_OK','var':null}";

class MessageMovesTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::PointSessionAt(session, server.HostPort());
        platform::SetAlertHook(
            [this](const std::string& caption, const std::string& text) { alerts.push_back(caption + "|" + text); });
    }
    void TearDown() override { platform::SetAlertHook({}); }
    std::string OnlyRequest() {
        auto requests = server.Requests();
        return requests.size() == 1 ? requests[0] : "(" + std::to_string(requests.size()) + " requests)";
    }

    testsupport::ScriptedServer server;
    session::Session session;
    std::vector<std::string> alerts;
};

TEST_F(MessageMovesTest, MoveSendsThreeIdsInQueueOrderAndOneFid) {
    server.PushAnswer(HttpAnswer(kOk));
    MessageIdQueue ids{"1:1tbiC", "1:1tbiA", "1:1tbiB"};
    ASSERT_EQ(session::MoveMessages(session, ids, "65550"), Status::Ok);
    std::string body =
        "<?xml version=\"1.0\"?><object><array name=\"ids\"><string>1:1tbiC</string>"
        "<string>1:1tbiA</string><string>1:1tbiB</string></array><object name=\"attrs\">"
        "<int name=\"fid\">65550</int></object></object>";
    EXPECT_EQ(OnlyRequest(), testsupport::ExpectedLongRequest(server.HostPort(), "mbox:updateMessageInfos", body));
    // The caller's queue is its own.
    EXPECT_EQ(ids, (MessageIdQueue{"1:1tbiC", "1:1tbiA", "1:1tbiB"}));
}

TEST_F(MessageMovesTest, DeleteSendsIdsInQueueOrder) {
    server.PushAnswer(HttpAnswer(kOk));
    ASSERT_EQ(session::DeleteMessages(session, {"7", "3"}), Status::Ok);
    std::string body =
        "<?xml version=\"1.0\"?><object><array name=\"ids\"><string>7</string><string>3</string>"
        "</array></object>";
    EXPECT_EQ(OnlyRequest(), testsupport::ExpectedLongRequest(server.HostPort(), "mbox:deleteMessages", body));
}

TEST_F(MessageMovesTest, EmptyQueueStillSendsAnEmptyArray) {
    server.PushAnswer(HttpAnswer(kOk));
    ASSERT_EQ(session::DeleteMessages(session, {}), Status::Ok);
    std::string body = "<?xml version=\"1.0\"?><object><array name=\"ids\"></array></object>";
    EXPECT_EQ(OnlyRequest(), testsupport::ExpectedLongRequest(server.HostPort(), "mbox:deleteMessages", body));
}

TEST_F(MessageMovesTest, IdsAndTargetAreEscaped) {
    server.PushAnswer(HttpAnswer(kOk));
    ASSERT_EQ(session::MoveMessages(session, {"a</string><string>b"}, "1<x>"), Status::Ok);
    std::string body =
        "<?xml version=\"1.0\"?><object><array name=\"ids\"><string>a&lt;/string&gt;&lt;string&gt;b"
        "</string></array><object name=\"attrs\"><int name=\"fid\">1&lt;x&gt;</int></object></object>";
    EXPECT_EQ(OnlyRequest(), testsupport::ExpectedLongRequest(server.HostPort(), "mbox:updateMessageInfos", body));
}

TEST_F(MessageMovesTest, ProviderVerdictIsReported) {
    struct Case {
        const char* answer;
        Status expected;
    } cases[] = {
        {"{'code':'S_OK','var':null}", Status::Ok},
        {"{\n'code':'S_OK',\n'var':{}\n}", Status::Ok},
        {"{'code':'FA_ID_NOT_FOUND'}", Status::Refused},
        {"{'code':'FA_INVALID_SESSION','var':null}", Status::Refused},
        {"{'summary':'code','x':{'code':'S_OK'}}", Status::Refused},  // only the answer's own code counts
        {"", Status::Refused},
        {"<html>500</html>", Status::Refused},
    };
    for (const Case& c : cases) {
        server.PushAnswer(HttpAnswer(c.answer));
        EXPECT_EQ(session::MoveMessages(session, {"1"}, "2"), c.expected) << c.answer;
        EXPECT_EQ(session::DeleteMessages(session, {"1"}), c.expected) << c.answer;
    }
    EXPECT_TRUE(alerts.empty());
}

TEST_F(MessageMovesTest, ConnectFailureIsReturnedWithoutAnAlert) {
    session::SetCell(session.host, "127.0.0.1:" + std::to_string(testsupport::ClosedPort()));
    EXPECT_EQ(session::MoveMessages(session, {"1"}, "2"), Status::ConnectFailed);
    EXPECT_EQ(session::DeleteMessages(session, {"1"}), Status::ConnectFailed);
    EXPECT_TRUE(alerts.empty());
}

TEST_F(MessageMovesTest, RequestsThatDoNotFitAreRefusedUnsent) {
    // Each id element costs 17 bytes of tags besides the id itself.
    MessageIdQueue many(300, std::string(31, 'x'));
    EXPECT_EQ(session::MoveMessages(session, many, "2"), Status::RequestTooLarge);
    EXPECT_EQ(session::DeleteMessages(session, many), Status::RequestTooLarge);
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_TRUE(alerts.empty());
}

// The longest id whose move request still fits 4095 bytes (the buffer less
// its terminating zero) goes out; one byte more is refused unsent.
TEST_F(MessageMovesTest, MoveRequestFitsExactlyItsBuffer) {
    std::string id(4095, 'i');
    for (;;) {
        MessageIdQueue ids{id};
        if (!session::MoveMessagesRequest(session, ids, "2").Overflowed()) break;
        id.pop_back();
    }
    MessageIdQueue fits{id};
    EXPECT_EQ(session::MoveMessagesRequest(session, fits, "2").Size(), 4095u);
    server.PushAnswer(HttpAnswer(kOk));
    EXPECT_EQ(session::MoveMessages(session, {id}, "2"), Status::Ok);
    EXPECT_EQ(session::MoveMessages(session, {id + "i"}, "2"), Status::RequestTooLarge);
    EXPECT_EQ(server.Connections(), 1);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].size(), 4095u);
}

}  // namespace

namespace {

using session::CellText;
using testsupport::FolderById;

// Against the real provider, in both of its answer styles.
class ProviderMoves : public ::testing::TestWithParam<const char*> {
protected:
    testsupport::ProviderProcess provider{{"cy@163.example:pw"}, {"--answer-style", GetParam()}};
    session::Session session;

    // Ids of the listed page, newest first.
    std::vector<std::string> Ids(const std::string& folderId) {
        session::ClearMessageTable(session.messageTable);
        EXPECT_EQ(session::ListMessages(session, folderId, session.messageTable), Status::Ok);
        std::vector<std::string> ids;
        for (std::size_t i = 0; i < session::UsedMessageRows(session.messageTable); ++i)
            ids.emplace_back(CellText(session.messageTable.rows[i].id));
        return ids;
    }
    // "unread/total" of a folder as the folder list counts them.
    std::string Counters(const std::string& folderId) {
        if (!testsupport::ReloadFolders(session)) return "(no folder list)";
        const session::FolderRow* row = FolderById(session, folderId);
        if (!row) return "(no folder " + folderId + ")";
        return std::string(CellText(row->unreadMessageCount)) + "/" + std::string(CellText(row->messageCount));
    }
};

TEST_P(ProviderMoves, MoveThreeThenDeleteAndTheCountersFollow) {
    ASSERT_TRUE(provider.Running());
    ASSERT_TRUE(testsupport::SignInTo(session, provider, "cy@163.example", "pw"));
    for (int i = 0; i < 5; ++i) ASSERT_FALSE(testsupport::DeliverToSelf(session, "m" + std::to_string(i)).empty());
    std::string target;
    ASSERT_EQ(session::CreateUserFolder(session, "Target", target), Status::Ok);
    std::vector<std::string> inbox = Ids("1");
    ASSERT_EQ(inbox.size(), 5u);
    EXPECT_EQ(Counters("1"), "5/5");

    session::MessageIdQueue three{inbox[4], inbox[0], inbox[2]};
    ASSERT_EQ(session::MoveMessages(session, three, target), Status::Ok);
    EXPECT_EQ(three.size(), 3u);  // the caller's queue is untouched
    EXPECT_EQ(Ids(target), (std::vector<std::string>{inbox[0], inbox[2], inbox[4]}));
    EXPECT_EQ(Ids("1"), (std::vector<std::string>{inbox[1], inbox[3]}));
    EXPECT_EQ(Counters("1"), "2/2");
    EXPECT_EQ(Counters(target), "3/3");

    // A move into the folder the messages are in is sent like any other.
    EXPECT_EQ(session::MoveMessages(session, {inbox[0]}, target), Status::Ok);
    EXPECT_EQ(Counters(target), "3/3");

    ASSERT_EQ(session::DeleteMessages(session, {inbox[0], inbox[4]}), Status::Ok);
    EXPECT_EQ(Ids(target), (std::vector<std::string>{inbox[2]}));
    EXPECT_EQ(Counters(target), "1/1");
    EXPECT_EQ(Counters("1"), "2/2");

    // Refusals change nothing.
    EXPECT_EQ(session::MoveMessages(session, {inbox[1]}, "987654"), Status::Refused);
    EXPECT_EQ(session::DeleteMessages(session, {"no-such-message"}), Status::Refused);
    EXPECT_EQ(Ids("1"), (std::vector<std::string>{inbox[1], inbox[3]}));
    EXPECT_EQ(Counters(target), "1/1");
}

INSTANTIATE_TEST_SUITE_P(AnswerStyles, ProviderMoves, ::testing::Values("neat", "field"));

}  // namespace
