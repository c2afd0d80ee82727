// ListMessages: the request it sends, how it reads a page, and how it fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/alert.h"
#include "script_session.h"
#include "scripted_server.h"
#include "session/cells.h"
#include "session/listing.h"

namespace {

using session::CellText;
using session::Status;
using testsupport::HttpAnswer;

std::string ExpectedListRequest(const std::string& hostPort, const std::string& folderId) {
    std::string body = "<?xml version=\"1.0\"?><object><int name=\"fid\">" + folderId +
                       "</int><string name=\"order\">date</string><boolean name=\"desc\">true</boolean>"
                       "<int name=\"start\">0</int><int name=\"limit\">50</int></object>";
    return "POST /a/s?sid=0123456789abcdef0123456789ABCDEF&func=mbox:listMessages HTTP/1.1\r\n"
           "Accept: text/javascript\r\n"
           "Host: " +
           hostPort +
           "\r\n"
           "Content-Length: " +
           std::to_string(body.size()) +
           "\r\n"
           "Content-Type: application/xml\r\n"
           "User-Agent: Ostrel Mail Tools; Unix 7.2\r\n"
           "Connection: close\r\n" +
           testsupport::TestCookieLine() + "\r\n" + body;
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
    std::string body = "{'code':'S_OK','var':[";
    for (std::size_t i = 0; i < messages.size(); ++i) body += (i ? "," : "") + messages[i];
    return body + "]}";
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

}  // namespace
