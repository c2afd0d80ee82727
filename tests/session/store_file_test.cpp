// StoreFileInFolder against scripted servers: the search for the delivered
// mail, its bound, the move and the stages reported on the way.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "local_files.h"
#include "provider_process.h"
#include "script_session.h"
#include "scripted_server.h"
#include "session/cells.h"
#include "session/download.h"
#include "session/folders.h"
#include "session/listing.h"
#include "session/signin.h"
#include "session/store_file.h"

namespace {

using session::Status;
using session::StoreStage;
using testsupport::HttpAnswer;
using testsupport::Reply;

struct Mail {
    std::string id;
    std::string subject;
};

std::string InboxPage(const std::vector<Mail>& mails) {
    std::vector<std::string> rows;
    for (const Mail& mail : mails) {
        rows.push_back("{'id':'" + mail.id +
                       "','fid':1,'size':5000,'from':'demo@163.example','to':'demo@163.example','subject':'" +
                       mail.subject +
                       "','sentDate':new Date(2026,0,5,10,20,30),'receivedDate':new Date(2026,0,5,10,20,30),"
                       "'priority':3,'backgroundColor':0,'antiVirusStatus':'','label0':0,"
                       "'flags':{'read':false,'draft':false,'attached':true}}");
    }
    return HttpAnswer(testsupport::OkListAnswer(rows));
}

Reply UploadAccepted() {
    Reply reply;
    reply.kind = Reply::Kind::AnswerStall;
    reply.bytes = HttpAnswer("ok", "Connection: Keep-Alive\r\n");
    return reply;
}

class StoreFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::PointSessionAt(session, server.HostPort());
        path = dir / "report.txt";
        testsupport::WriteFile(path, "quarterly figures");
        options.searchBoundMs = 2000;
        options.firstPauseMs = 20;
        options.longestPauseMs = 200;
    }
    // Baseline look, compose, upload and delivery.
    void ScriptUpload(const std::vector<Mail>& inboxBefore) {
        server.PushAnswer(InboxPage(inboxBefore));
        server.PushAnswer(HttpAnswer("{'code':'S_OK','var':'c0ffee42'}"));
        server.Push(UploadAccepted());
        server.PushAnswer(HttpAnswer("{'code':'S_OK','var':null}"));
    }
    session::StoreResult Store() {
        return session::StoreFileInFolder(
            session, path, "65551", [this](StoreStage stage) { stages.push_back(stage); }, options);
    }
    std::size_t RequestsFor(const std::string& function) {
        std::size_t count = 0;
        for (const std::string& request : server.Requests())
            if (request.find("&func=" + function + " ") != std::string::npos) ++count;
        return count;
    }

    testsupport::ScriptedServer server;
    testsupport::TempDir dir;
    session::Session session;
    std::filesystem::path path;
    session::StoreOptions options;
    std::vector<StoreStage> stages;
};

TEST_F(StoreFileTest, WaitsForTheNewMailThenMovesItWithOlderOnesOfItsName) {
    std::vector<Mail> before = {{"m-x", "other.txt"}, {"m-old", "report.txt"}};
    ScriptUpload(before);
    server.PushAnswer(InboxPage(before));  // not there yet
    server.PushAnswer(InboxPage({{"m-new", "report.txt"}, {"m-x", "other.txt"}, {"m-old", "report.txt"}}));
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':null}"));

    session::StoreResult result = Store();
    ASSERT_EQ(result.status, Status::Ok);
    EXPECT_EQ(result.movedIds, (std::vector<std::string>{"m-new", "m-old"}));
    EXPECT_EQ(stages, (std::vector<StoreStage>{StoreStage::Uploading, StoreStage::Uploaded, StoreStage::Moving,
                                               StoreStage::Done}));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 7u);
    for (std::size_t look : {0u, 4u, 5u})
        EXPECT_NE(requests[look].find("<int name=\"fid\">1</int>"), std::string::npos) << "look " << look;
    EXPECT_NE(requests[6].find("<array name=\"ids\"><string>m-new</string><string>m-old</string></array>"
                               "<object name=\"attrs\"><int name=\"fid\">65551</int>"),
              std::string::npos);
}

TEST_F(StoreFileTest, MailThatNeverArrivesIsNotFoundWithinTheBound) {
    options.searchBoundMs = 400;
    ScriptUpload({});
    server.PushAnswer(InboxPage({{"m-1", "something else.txt"}}));  // repeats for every later look

    auto start = std::chrono::steady_clock::now();
    session::StoreResult result = Store();
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.status, Status::NotFound);
    EXPECT_TRUE(result.movedIds.empty());
    EXPECT_EQ(stages, (std::vector<StoreStage>{StoreStage::Uploading, StoreStage::Uploaded}));
    EXPECT_EQ(RequestsFor("mbox:updateMessageInfos"), 0u);
    // Pauses of 20, 40, 80, 160, 200 ms: several looks, none after the bound.
    EXPECT_GE(RequestsFor("mbox:listMessages"), 1u + 4u);
    EXPECT_GE(elapsed, std::chrono::milliseconds(400));
    EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
}

TEST_F(StoreFileTest, FailedUploadStopsBeforeTheSearch) {
    server.PushAnswer(InboxPage({}));
    server.PushAnswer(HttpAnswer("{'code':'FA_INVALID_SESSION'}"));
    session::StoreResult result = Store();
    EXPECT_EQ(result.status, Status::Refused);
    EXPECT_EQ(stages, std::vector<StoreStage>{StoreStage::Uploading});
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(session.uploadIdle.load(), 1);
}

TEST_F(StoreFileTest, RefusedMoveIsReportedAndNothingCountsAsMoved) {
    ScriptUpload({});
    server.PushAnswer(InboxPage({{"m-new", "report.txt"}}));
    server.PushAnswer(HttpAnswer("{'code':'FA_FOLDER_NOT_FOUND'}"));
    session::StoreResult result = Store();
    EXPECT_EQ(result.status, Status::Refused);
    EXPECT_TRUE(result.movedIds.empty());
    EXPECT_EQ(stages, (std::vector<StoreStage>{StoreStage::Uploading, StoreStage::Uploaded, StoreStage::Moving}));
}

TEST_F(StoreFileTest, FailedFirstLookDoesNotStopTheUpload) {
    server.PushAnswer(HttpAnswer("{'code':'FA_OVERLOAD'}"));
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':'c0ffee42'}"));
    server.Push(UploadAccepted());
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':null}"));
    server.PushAnswer(InboxPage({{"m-new", "report.txt"}}));
    server.PushAnswer(HttpAnswer("{'code':'S_OK','var':null}"));
    session::StoreResult result = Store();
    EXPECT_EQ(result.status, Status::Ok);
    EXPECT_EQ(result.movedIds, std::vector<std::string>{"m-new"});
}

TEST_F(StoreFileTest, NamesThatNoSubjectCellCouldHoldSendNothing) {
    session::StoreResult result = session::StoreFileInFolder(session, dir / std::string(800, 'n'), "65551");
    EXPECT_EQ(result.status, Status::RequestTooLarge);
    EXPECT_EQ(server.Connections(), 0);
}

}  // namespace

namespace {

// Round trips through a real vantlo-provider: store into a new folder, find
// the message there and not in the inbox, fetch it back byte for byte.
class ProviderStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(provider.Running());
        session.providerOverride = provider.HostPort();
        ASSERT_EQ(session::SignIn(session, "demo@163.example", 1, "vantlo-demo"), session::SignInResult::Ok);
        ASSERT_EQ(session::CreateUserFolder(session, "Drive", folder), Status::Ok);
    }
    std::vector<Mail> Listed(const std::string& folderId) {
        session::MessageTable table;
        session::InitMessageTable(table);
        EXPECT_EQ(session::ListMessages(session, folderId, table), Status::Ok);
        std::vector<Mail> mails;
        for (std::size_t i = 0; i < session::UsedMessageRows(table); ++i)
            mails.push_back({std::string(session::CellText(table.rows[i].id)),
                             std::string(session::CellText(table.rows[i].subject))});
        return mails;
    }
    static bool Holds(const std::vector<Mail>& mails, const std::string& id) {
        for (const Mail& mail : mails)
            if (mail.id == id) return true;
        return false;
    }
    void ExpectIdle() {
        EXPECT_EQ(session.uploadIdle.load(), 1);
        EXPECT_EQ(session.uploadSent.load(), 0);
        EXPECT_EQ(session.uploadTotal.load(), 0);
        EXPECT_EQ(session.downloadIdle.load(), 1);
        EXPECT_EQ(session.downloadReceived.load(), 0);
        EXPECT_EQ(session.downloadTotal.load(), 0);
    }

    testsupport::ProviderProcess provider;
    testsupport::TempDir dir;
    session::Session session;
    std::string folder;
};

TEST_F(ProviderStore, FilesOfEveryShapeComeBackByteForByteFromTheTargetFolder) {
    struct Case {
        std::string name;
        std::size_t size;
    } cases[] = {
        {"empty.bin", 0},         {"one.bin", 1},
        {"chunk.bin", 5120},      {"chunk plus one.bin", 5121},
        {"random.bin", 3u << 20}, {"Q1 & 报告 café 文件.txt", 4321},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = testsupport::RandomBytes(c.size, static_cast<unsigned>(c.size) + 3);
        std::filesystem::path path = dir / c.name;
        testsupport::WriteFile(path, bytes);

        session::StoreResult stored = session::StoreFileInFolder(session, path, folder);
        ASSERT_EQ(stored.status, Status::Ok);
        ASSERT_EQ(stored.movedIds.size(), 1u);
        const std::string& id = stored.movedIds[0];
        ExpectIdle();
        std::vector<Mail> inFolder = Listed(folder);
        ASSERT_TRUE(Holds(inFolder, id)) << "not in the target folder";
        EXPECT_EQ(inFolder[0].subject, c.name) << "the subject is the name as typed";
        EXPECT_FALSE(Holds(Listed("1"), id)) << "left in the inbox";

        testsupport::WriteFile(dir / "back.bin", "an older file");
        ASSERT_EQ(session::DownloadAttachment(session, id, dir / "back.bin"), Status::Ok);
        EXPECT_TRUE(testsupport::ReadFile(dir / "back.bin") == bytes) << "the bytes differ";
        ExpectIdle();
    }
}

TEST_F(ProviderStore, RefusalsOfTheProviderAreReportedAndLeaveEverythingIdle) {
    testsupport::WriteFile(dir / "keep.bin", "precious");
    EXPECT_EQ(session::DownloadAttachment(session, "no-such-message", dir / "keep.bin"), Status::Refused);
    EXPECT_EQ(testsupport::ReadFile(dir / "keep.bin"), "precious");
    EXPECT_EQ(dir.EntryCount(), 1u);
    ExpectIdle();

    testsupport::WriteFile(dir / "a.txt", "a");
    session::SetCell(session.sid, "00000000000000000000000000000000");  // a session the provider never gave
    EXPECT_EQ(session::StoreFileInFolder(session, dir / "a.txt", folder).status, Status::Refused);
    ExpectIdle();
}

}  // namespace
