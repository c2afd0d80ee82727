// The folder and message commands of vantlo-cli, run as a process: against
// scripted answers for exact output and failures, and against a real
// vantlo-provider end to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "provider_process.h"
#include "run_process.h"
#include "scripted_server.h"

namespace {

using testsupport::HttpAnswer;
using testsupport::ProcessResult;

const char kAccount[] = "demo@163.example";

ProcessResult Cli(const std::string& provider, std::vector<std::string> args, const std::string& password = "pw") {
    args.insert(args.begin(), {VANTLO_CLI_EXE, "--provider", provider, "--timeout", "10", "--account", kAccount});
    return testsupport::RunProcess(args, {"VANTLO_PROVIDER=", "VANTLO_PASSWORD=" + password}, "", 60000);
}

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::vector<std::vector<std::string>> Table(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        rows.push_back(fields);
    }
    return rows;
}

// A scripted provider: the sign-in pair, then the answers of one operation.
struct ScriptedCli : ::testing::Test {
    std::unique_ptr<testsupport::ScriptedServer> scripted = std::make_unique<testsupport::ScriptedServer>();
    testsupport::ScriptedServer& server() { return *scripted; }
    void FreshServer() { scripted = std::make_unique<testsupport::ScriptedServer>(); }

    void SignInThen(const std::vector<std::string>& answers, const std::string& webmailHost = "") {
        server().PushAnswer(
            "HTTP/1.1 200 OK\r\nSet-Cookie: NTES_SESS=sess; Path=/\r\nSet-Cookie: S_INFO=1|0|s; Path=/\r\n"
            "Set-Cookie: P_INFO=demo@163.example|1|0; Path=/\r\n\r\n");
        server().PushAnswer(
            "HTTP/1.1 302 Found\r\nSet-Cookie: Coremail=14charsprefix1ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"
            "%x; Path=/\r\nLocation: http://" +
            (webmailHost.empty() ? server().HostPort() : webmailHost) + "/coremail/index.jsp\r\n\r\n");
        for (const std::string& answer : answers) server().PushAnswer(HttpAnswer(answer));
    }
    // The body of the request the operation sent (the third connection).
    std::string OperationBody() {
        auto requests = server().Requests();
        if (requests.size() < 3) return "";
        std::size_t end = requests[2].find("\r\n\r\n");
        return end == std::string::npos ? "" : requests[2].substr(end + 4);
    }
};

TEST_F(ScriptedCli, WrongArgumentsExitTwoBeforeAnythingIsSent) {
    const std::vector<std::vector<std::string>> cases = {
        {"rename", "12a", "x"},
        {"rmdir", "-1"},
        {"rmdir", ""},
        {"rmdir", "123456789012345"},
        {"ls", "1 2"},
        {"mv", "x", "1"},
        {"mv", "3", "bad id"},
        {"rm", std::string(32, 'i')},
        {"rm", "ok", "tab\tid"},
        {"mkdir", ""},
        {"mkdir",
         "a\xff"
         "b"},
        {"mkdir", "\xC0\xAF"},
        {"mkdir", "line\nbreak"},
        {"mkdir", std::string(64, 'n')},
        {"rename", "7", "\xE6\x96"},
        {"mkdir"},
        {"rename", "7"},
        {"mv", "7"},
        {"rm"},
    };
    for (const auto& args : cases) {
        ProcessResult r = Cli(server().HostPort(), args);
        EXPECT_EQ(r.exitCode, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(r.err.empty());
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_EQ(server().Connections(), 0);
}

TEST_F(ScriptedCli, FoldersPrintsOneLineAFolderInAnswerOrder) {
    SignInThen(
        {"{'code':'S_OK','var':[{'id':1,'name':'\xE6\x94\xB6\xE4\xBB\xB6\xE7\xAE\xB1','stats':{"
         "'messageCount':12,'unreadMessageCount':3}},{'id':65551,'name':'tab\there','stats':{'messageCount':0,"
         "'unreadMessageCount':0}},{'id':65550,'name':'R&D <2026>','stats':{'messageCount':5,"
         "'unreadMessageCount':5}}]}"});
    ProcessResult r = Cli(server().HostPort(), {"folders"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "1\t\xE6\x94\xB6\xE4\xBB\xB6\xE7\xAE\xB1\t3\t12\n65551\ttab here\t0\t0\n65550\tR&D <2026>\t5\t5\n");
}

TEST_F(ScriptedCli, LsPrintsTheStoredCellsNewestFirst) {
    SignInThen(
        {"{'code':'S_OK','var':[{'id':'m2','fid':3,'size':10,'subject':'b\\'s.txt','receivedDate':"
         "new Date(2026,9,2,3,4,5),'flags':{'attached':true}},{'id':'m1','fid':3,'size':7,'subject':"
         "'two\nlines','receivedDate':new Date(2026,0,1,0,0,0),'flags':{}}]}"});
    ProcessResult r = Cli(server().HostPort(), {"ls", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "m2\t10\ttrue\t2026,10,2,3,4,5\tb's.txt\nm1\t7\t\t2026,1,1,0,0,0\ttwo lines\n");
    EXPECT_NE(OperationBody().find("<int name=\"fid\">3</int>"), std::string::npos);
}

TEST_F(ScriptedCli, MkdirPrintsTheNewIdAndSendsTheNameAsTyped) {
    SignInThen({"{'code':'S_OK','var':[65557]}"});
    ProcessResult r = Cli(server().HostPort(), {"mkdir", "R&D <2026> \"q\" it's"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "65557\n");
    EXPECT_NE(OperationBody().find("<string name=\"name\">R&amp;D &lt;2026&gt; &quot;q&quot; it&apos;s</string>"),
              std::string::npos)
        << OperationBody();
}

TEST_F(ScriptedCli, MvAndRmSendTheIdsInTheirOrder) {
    SignInThen({"{'code':'S_OK'}"});
    ProcessResult mv = Cli(server().HostPort(), {"mv", "65550", "c", "a", "b"});
    ASSERT_EQ(mv.exitCode, 0) << mv.err;
    EXPECT_EQ(mv.out, "");
    EXPECT_NE(OperationBody().find("<string>c</string><string>a</string><string>b</string></array><object name="
                                   "\"attrs\"><int name=\"fid\">65550</int>"),
              std::string::npos)
        << OperationBody();
}

TEST_F(ScriptedCli, RefusalsExitOneWithOneLine) {
    const std::vector<std::vector<std::string>> cases = {
        {"folders"}, {"ls", "9"}, {"mkdir", "x"}, {"rename", "9", "y"}, {"rmdir", "9"}, {"mv", "9", "m"}, {"rm", "m"},
    };
    for (const auto& args : cases) {
        FreshServer();
        SignInThen({"{'code':'FA_INVALID_SESSION'}"});
        ProcessResult r = Cli(server().HostPort(), args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(ScriptedCli, AnUnreachableWebmailHostExitsOneWithTheOperationsText) {
    struct Case {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"mkdir", "x"}, "could not connect to the provider to create folder 'x'"},
        {{"rename", "9", "y"}, "could not connect to the provider to rename folder 9"},
        {{"rmdir", "9"}, "could not connect to the provider to delete folder 9"},
        {{"mv", "9", "m"}, "could not connect to the provider to move the messages"},
        {{"rm", "m"}, "could not connect to the provider to delete the messages"},
        {{"folders"}, "could not list the folders"},
        {{"ls", "1"}, "could not list folder 1"},
    };
    std::string closed = "127.0.0.1:" + std::to_string(testsupport::ClosedPort());
    for (const Case& c : cases) {
        FreshServer();
        SignInThen({}, closed);
        ProcessResult r = Cli(server().HostPort(), c.args);
        EXPECT_EQ(r.exitCode, 1) << c.says;
        EXPECT_EQ(Lines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
}

}  // namespace

namespace {

// The demo account of a real provider, in both answer styles.
class ProviderCli : public ::testing::TestWithParam<const char*> {
protected:
    testsupport::ProviderProcess provider{{}, {"--answer-style", GetParam()}};

    ProcessResult Run(std::vector<std::string> args) { return Cli(provider.HostPort(), args, "vantlo-demo"); }
    // The folders command as rows; fails the test when it fails.
    std::vector<std::vector<std::string>> Folders() {
        ProcessResult r = Run({"folders"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return Table(r.out);
    }
    std::vector<std::string> FolderRow(const std::string& id) {
        for (const auto& row : Folders())
            if (!row.empty() && row[0] == id) return row;
        return {};
    }
    std::vector<std::string> MessageIds(const std::string& folderId) {
        ProcessResult r = Run({"ls", folderId});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> ids;
        for (const auto& row : Table(r.out)) {
            EXPECT_EQ(row.size(), 5u);
            ids.push_back(row[0]);
        }
        return ids;
    }
};

TEST_P(ProviderCli, FoldersAreCreatedRenamedListedAndDeletedAsTyped) {
    ASSERT_TRUE(provider.Running());
    auto before = Folders();
    ASSERT_GE(before.size(), 5u);
    EXPECT_EQ(before[0],
              (std::vector<std::string>{"1", "\xE6\x94\xB6\xE4\xBB\xB6\xE7\xAE\xB1", before[0][2], before[0][3]}));
    for (const auto& row : before) EXPECT_EQ(row.size(), 4u);

    const std::vector<std::string> names = {"Q&A", "a<b>c", "say \"hi\" it's", "id",
                                            "\xE5\xA4\x87\xE4\xBB\xBD \xF0\x9F\x93\x81"};
    std::vector<std::string> ids;
    for (const std::string& name : names) {
        ProcessResult r = Run({"mkdir", name});
        ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err;
        ASSERT_EQ(Lines(r.out), 1u);
        ids.push_back(r.out.substr(0, r.out.size() - 1));
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(FolderRow(ids[i]), (std::vector<std::string>{ids[i], names[i], "0", "0"}));

    ProcessResult renamed = Run({"rename", ids[0], "R&D <2027> \"x\""});
    EXPECT_EQ(renamed.exitCode, 0) << renamed.err;
    EXPECT_EQ(FolderRow(ids[0]), (std::vector<std::string>{ids[0], "R&D <2027> \"x\"", "0", "0"}));

    ProcessResult taken = Run({"mkdir", names[1]});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_EQ(Lines(taken.err), 1u) << taken.err;

    for (const std::string& id : ids) {
        ProcessResult r = Run({"rmdir", id});
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
    EXPECT_EQ(Folders(), before);
    ProcessResult gone = Run({"rmdir", ids[0]});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_NE(gone.err.find("refused"), std::string::npos) << gone.err;
}

TEST_P(ProviderCli, ThreeMessagesMoveAndOneIsDeleted) {
    ASSERT_TRUE(provider.Running());
    std::vector<std::string> inbox = MessageIds("1");
    ASSERT_GE(inbox.size(), 3u);
    std::vector<std::string> inboxCounts = FolderRow("1");
    ASSERT_EQ(inboxCounts.size(), 4u);
    int inboxTotal = std::stoi(inboxCounts[3]);
    EXPECT_EQ(inboxTotal, static_cast<int>(inbox.size()));

    ProcessResult made = Run({"mkdir", "Moved"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    std::string target = made.out.substr(0, made.out.size() - 1);

    ProcessResult mv = Run({"mv", target, inbox[0], inbox[1], inbox[2]});
    ASSERT_EQ(mv.exitCode, 0) << mv.err;
    EXPECT_EQ(MessageIds(target), (std::vector<std::string>{inbox[0], inbox[1], inbox[2]}));
    std::vector<std::string> rest(inbox.begin() + 3, inbox.end());
    EXPECT_EQ(MessageIds("1"), rest);
    EXPECT_EQ(FolderRow("1")[3], std::to_string(inboxTotal - 3));
    EXPECT_EQ(FolderRow(target)[3], "3");

    ProcessResult rm = Run({"rm", inbox[1]});
    ASSERT_EQ(rm.exitCode, 0) << rm.err;
    EXPECT_EQ(MessageIds(target), (std::vector<std::string>{inbox[0], inbox[2]}));
    EXPECT_EQ(FolderRow(target)[3], "2");

    ProcessResult again = Run({"rm", inbox[1]});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(Lines(again.err), 1u) << again.err;
}

INSTANTIATE_TEST_SUITE_P(AnswerStyles, ProviderCli, ::testing::Values("neat", "field"));

}  // namespace
