// What only the webmail store does, on a real vantlo-provider over TLS in
// both answer styles: a folder of many pages, mails stored the old way
// beside ours, the provider's refusals and ended sessions; paging while the
// folder changes; and (its own CTest entry) a file past 2 GiB. What every
// store does is in tests/contract; how the catalog tells a damaged part, in
// tests/catalog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <mutex>

#include "../catalog/scratch_files.h"
#include "catalog/catalog.h"
#include "catalog/download.h"
#include "catalog/file_sizes.h"
#include "catalog/manifest.h"
#include "catalog/upload.h"
#include "old_form_mail.h"
#include "provider_process.h"
#include "session/cells.h"
#include "session/signin.h"
#include "session_fixture.h"
#include "webmail/page_fan.h"
#include "webmail/webmail_store.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;
using namespace webmail;

constexpr char kAccount[] = "a@163.example";

using testsupport::ReadWholeFile;

class WebmailStoreTest : public ::testing::TestWithParam<const char*> {
protected:
    std::unique_ptr<testsupport::ProviderProcess> provider;
    session::Session s;
    std::unique_ptr<WebmailStore> store;
    const fs::path dir = testsupport::MakeTempDir("vantlo-webmail-test-");

    ~WebmailStoreTest() override { testsupport::RemoveTree(dir.string()); }
    void Start(std::vector<std::string> args, WebmailOptions options = {}) {
        args.insert(args.end(), {"--tls", "--answer-style", GetParam()});
        provider = std::make_unique<testsupport::ProviderProcess>(
            std::vector<std::string>{kAccount + std::string(":pa")}, args);
        ASSERT_TRUE(provider->Running());
        s.providerOverride = provider->Address();
        s.caFile = provider->CaFile();
        ASSERT_EQ(session::SignIn(s, kAccount, session::EntryForAccount(kAccount), "pa"), session::Status::Ok);
        store = std::make_unique<WebmailStore>(s, options);
    }
    std::string Folder(const std::string& name) {
        std::string id;
        EXPECT_TRUE(store->CreateFolder({}, name, id).Ok());
        return id;
    }
    fs::path Write(const std::string& name, const std::string& bytes) {
        return testsupport::WriteFile(dir / name, bytes);
    }
    std::vector<FileEntry> Files(const std::string& folderId, MailStore& from) {
        std::vector<FileEntry> files;
        EXPECT_TRUE(ListFiles(from, folderId, files).Ok());
        return files;
    }
};

INSTANTIATE_TEST_SUITE_P(Styles, WebmailStoreTest, ::testing::Values("neat", "field"));

// Two pages of 50 read at once on the store's forks (the page fan against
// the provider itself), the last one ending at the folder's end.
TEST_P(WebmailStoreTest, AFolderOfManyPagesListsEachFileOnceWithItsSize) {
    WebmailOptions pagesOf50;
    pagesOf50.pageSize = 50;
    Start({"--seed-folder", "many:100:3"}, pagesOf50);
    std::vector<FolderInfo> folders;
    ASSERT_TRUE(store->ListFolders(folders).Ok());
    auto many = std::find_if(folders.begin(), folders.end(), [](const FolderInfo& f) { return f.name == "many"; });
    ASSERT_NE(many, folders.end());
    std::vector<FileEntry> files = Files(many->id, *store);
    ManifestCache cache;
    ASSERT_TRUE(FillFileSizes(*store, cache, files).Ok());
    ASSERT_EQ(files.size(), 100u);
    for (const FileEntry& file : files) EXPECT_TRUE(file.Whole() && file.sizeKnown && file.size == 3) << file.name;
}

TEST_P(WebmailStoreTest, SameNameUploadsLandInTheirFolderBesideMailsOfOld) {
    Start({});
    const std::string one = Folder("one"), old = Folder("old");
    // Mails stored the old way: one moved into its folder, one left in the inbox.
    ASSERT_EQ(testsupport::StoreOldFormMail(s, Write("same.txt", "stored the old way"), old), session::Status::Ok);
    ASSERT_EQ(testsupport::StoreOldFormMail(s, dir / "same.txt", WebmailStore::kInbox), session::Status::Ok);
    PutResult first;
    ASSERT_TRUE(PutFile(*store, Write("a/same.txt", "the first one"), one, {}, first).Ok());

    for (const auto& [folder, bytes] : {std::pair{one, "the first one"}, std::pair{old, "stored the old way"},
                                        std::pair{std::string("1"), "stored the old way"}}) {
        std::vector<FileEntry> files = Files(folder, *store);
        ASSERT_EQ(files.size(), 1u) << "folder " << folder;
        ManifestCache cache;
        ASSERT_TRUE(FillFileSizes(*store, cache, files).Ok());
        EXPECT_TRUE(files[0].name == "same.txt" && files[0].sizeKnown && files[0].size == std::strlen(bytes));
        ASSERT_TRUE(GetFile(*store, files[0].key, dir / "back").Ok());
        EXPECT_EQ(ReadWholeFile(dir / "back"), bytes);
    }
}

TEST_P(WebmailStoreTest, RefusalsAndEndedSessionsAreClearOutcomes) {
    Start({"--attachment-limit", "1000"});
    PutResult result;
    Outcome outcome = PutFile(*store, Write("big.bin", std::string(3000, 'b')), "1", {2000, {}, {}}, result);
    EXPECT_EQ(outcome.code, StoreCode::TooLarge);
    EXPECT_NE(outcome.detail.find("part 1 of 2 of big.bin: store big.bin.001: "), std::string::npos);
    EXPECT_NE(outcome.detail.find("(FA_OVERFLOW)"), std::string::npos) << outcome.Text();

    Start({"--session-ttl", "0"});
    std::vector<FolderInfo> folders;
    EXPECT_EQ(store->ListFolders(folders).code, StoreCode::SessionExpired);
    int signIns = 0;
    store->SetSignInAgain([&](session::Session& again) {
        ++signIns;
        return session::SignIn(again, kAccount, session::EntryForAccount(kAccount), "pa") == session::Status::Ok;
    });
    EXPECT_EQ(store->ListFolders(folders).code, StoreCode::SessionExpired) << "repeated once, then told";
    EXPECT_EQ(signIns, 1);
}

// A folder of 50 mails, m10 to m59, that changes between the pages of its
// listing, newest first; pages may be asked from several threads.
using Change = std::function<void(std::vector<std::string>&)>;
struct ChangingFolder {
    explicit ChangingFolder(std::vector<Change> each = {}) : changes(std::move(each)) {}
    std::vector<Change> changes;  // one before each page but the first
    std::vector<std::string> ids = All();
    std::vector<std::uint64_t> starts;
    std::mutex lock;

    static std::vector<std::string> All() {
        std::vector<std::string> all;
        for (int i = 10; i < 60; ++i) all.push_back("m" + std::to_string(i));
        return all;
    }
    PageSource Source() {
        return [this](std::uint64_t start, std::uint32_t limit, session::MessagePage& page) {
            std::lock_guard<std::mutex> hold(lock);
            if (!starts.empty() && starts.size() <= changes.size()) changes[starts.size() - 1](ids);
            starts.push_back(start);
            page = session::MessagePage();
            for (std::uint64_t i = start; i < ids.size() && i < start + limit; ++i)
                page.messages.emplace_back().id = ids[i];
            page.hasTotal = true;
            page.total = ids.size();
            return Success();
        };
    }
};

TEST(WebmailPaging, MailsThatStayAreListedOnceWhateverArrivesOrLeaves) {
    auto leave = [](std::vector<std::string> gone) -> Change {
        return [gone](auto& ids) {
            for (const std::string& id : gone) ids.erase(std::find(ids.begin(), ids.end(), id));
        };
    };
    const Change arrive = [](auto& ids) { ids.insert(ids.begin(), {"new1", "new2"}); };
    const std::vector<std::vector<Change>> histories = {
        {},
        {arrive, leave({"m11", "m12"})},
        // More leave before the next page than it reads again: it steps back.
        {leave({"m10", "m11", "m12", "m13", "m14", "m15", "m16", "m17", "m18", "m19"})},
        {leave({"m19", "m20"}), leave({"m31"})},
    };
    for (const auto& history : histories) {
        ChangingFolder folder{history};
        std::vector<MailInfo> mails;
        ASSERT_TRUE(ReadEveryPage("list", folder.Source(), 12, mails).Ok());
        std::vector<std::string> listed;
        for (const MailInfo& mail : mails) listed.push_back(mail.id);
        std::vector<std::string> unique = listed;
        std::sort(unique.begin(), unique.end());
        EXPECT_EQ(std::unique(unique.begin(), unique.end()), unique.end()) << "listed twice";
        for (const std::string& id : folder.ids)
            EXPECT_TRUE(id.rfind("new", 0) == 0 || std::count(listed.begin(), listed.end(), id) == 1) << id;
        EXPECT_LE(folder.starts.size(), 12u);
    }
    ChangingFolder endless{
        std::vector<Change>(1000, [](auto& ids) { ids.insert(ids.begin(), "x" + std::to_string(ids.size())); })};
    std::vector<MailInfo> mails;
    EXPECT_EQ(ReadEveryPage("list", endless.Source(), 1, mails).code, StoreCode::Broken);
}

// Pages read on several connections at once are taken only when they join
// up: a folder that changed meanwhile (also with its total the same) sends
// the caller back to paging one at a time; a failed page is the outcome.
TEST(WebmailPaging, PagesReadAtOnceAreTakenOnlyWhenTheyJoinUp) {
    session::Session signedOut;
    WebmailStore workers(signedOut);  // only forked for the engine's workers: pages come from the folder
    const struct {
        Change change;  // before every page but the first
        bool joined;
    } cases[] = {
        {[](auto&) {}, true},
        {[](auto& ids) { ids.insert(ids.begin(), "new" + std::to_string(ids.size())); }, false},
        {[](auto& ids) { ids.erase(ids.begin()); }, false},
        {[](auto& ids) { ids.pop_back(), ids.insert(ids.begin(), "new" + std::to_string(ids.size())); }, false},
    };
    for (const auto& c : cases) {
        ChangingFolder folder{std::vector<Change>(10, c.change)};
        const PageSource source = folder.Source();
        const PageSourceOn sourceOn = [&](auto&) { return source; };
        session::MessagePage first;
        ASSERT_TRUE(source(0, 12, first).Ok());
        std::vector<session::MessagePage> pages;
        bool joined = !c.joined;
        ASSERT_TRUE(ReadPagesAtOnce(workers, 3, sourceOn, first, 12, pages, joined).Ok());
        EXPECT_EQ(joined, c.joined);
        EXPECT_EQ(folder.starts.size(), 1 + pages.size());
        if (!joined) continue;
        std::vector<std::string> listed;
        for (const auto& message : first.messages) listed.push_back(message.id);
        for (const auto& page : pages)
            for (std::size_t i = kFanOverlap; i < page.messages.size(); ++i) listed.push_back(page.messages[i].id);
        EXPECT_EQ(listed, ChangingFolder::All());
    }
    ChangingFolder folder;
    session::MessagePage first;
    ASSERT_TRUE(folder.Source()(0, 12, first).Ok());
    std::vector<session::MessagePage> pages;
    bool joined = true;
    const PageSourceOn cutOn = [](auto&) -> PageSource {
        return [](auto, auto, auto&) { return Failure(StoreCode::Broken, "cut"); };
    };
    EXPECT_EQ(ReadPagesAtOnce(workers, 2, cutOn, first, 12, pages, joined).code, StoreCode::Broken);
}

// Its own CTest entry: minutes, and twice 2 GiB on the disk (checked first).
TEST(WebmailLarge, AFileJustOver2GiBRoundTrips) {
    const fs::path dir = testsupport::MakeTempDir("vantlo-2gib-");
    const std::uint64_t size = (std::uint64_t{1} << 31) + (1 << 20);
    if (fs::space(dir).available < 2 * size + (std::uint64_t{1} << 30)) {
        testsupport::RemoveTree(dir.string());
        GTEST_SKIP() << "needs 5 GiB free in " << dir;
    }
    std::ofstream(dir / "sparse.bin");
    fs::resize_file(dir / "sparse.bin", size);  // a hole: no disk taken on the sending side
    {
        testsupport::ProviderProcess provider({kAccount + std::string(":pa")}, {"--tls"}, (dir / "data").string());
        session::Session s;
        s.providerOverride = provider.Address();
        s.caFile = provider.CaFile();
        ASSERT_EQ(session::SignIn(s, kAccount, session::EntryForAccount(kAccount), "pa"), session::Status::Ok);
        WebmailStore store(s);
        PutResult put;
        ASSERT_TRUE(PutFile(store, dir / "sparse.bin", "1", {}, put).Ok());
        EXPECT_EQ(put.parts, 65u);
        Outcome outcome = GetFile(store, put.key, dir / "back.bin");  // every part and the whole checked
        EXPECT_TRUE(outcome.Ok()) << outcome.Text();
        EXPECT_EQ(fs::file_size(dir / "back.bin"), size);
    }
    testsupport::RemoveTree(dir.string());
}

}  // namespace

// The exact find against scripted answers, so that its order is certain: a
// look-alike of the same subject that was there before, and one that
// arrives beside our mail, carry other upload ids and stay where they are.
// Ours is found among the newest mails of the inbox by the manifest that
// comes with the page, or else by a search of the inbox and a read of each
// mail of its subject.
using ScriptedWebmail = testsupport::SessionTest;

TEST_F(ScriptedWebmail, OnlyTheMailWithOurUploadIdIsTakenAndMoved) {
    Manifest manifest;
    manifest.name = "r.txt";
    manifest.size = manifest.partSize = 4;
    manifest.sha256 = manifest.partSha256 = std::string(64, 'a');
    manifest.stored = 1;
    auto escaped = [&](const std::string& uploadId) {
        manifest.uploadId = uploadId;
        std::string text;
        for (char c : WriteManifest(manifest)) text += c == '\n' ? std::string("\\n") : std::string(1, c);
        return text;
    };
    auto mail = [&](const std::string& id, const std::string& uploadId) {
        return testsupport::HttpAnswer("{'code':'S_OK','var':{'id':'" + id + "','subject':'r.txt','text':{'content':'" +
                                       escaped(uploadId) +
                                       "'},'attachments':[{'id':3,'filename':'r.txt','contentLength':4}]}}");
    };
    // Mails of the subject, each with the upload id its summary carries (none: no summary).
    auto inbox = [&](const std::vector<std::pair<std::string, std::string>>& mails) {
        std::vector<std::string> objects;
        for (const auto& [id, uploadId] : mails)
            objects.push_back("{'id':'" + id + "','subject':'r.txt'" +
                              (uploadId.empty() ? "" : ",'summary':'" + escaped(uploadId) + "'") + "}");
        return testsupport::HttpAnswer(testsupport::OkListAnswer(objects));
    };
    const std::string ours(32, 'b'), other(32, 'c'), ok = testsupport::HttpAnswer("{'code':'S_OK'}");
    const std::string sent[] = {testsupport::HttpAnswer("{'code':'S_OK','var':'c0ffee42'}"), ok,
                                ok};  // compose, upload, deliver
    const struct {
        const char* what;
        std::vector<std::string> looks;  // the answers after the delivery (the newest page first), before the move
    } cases[] = {
        {"among the newest", {inbox({{"m-twin", other}, {"m-ours", ours}, {"m-old", ""}})}},
        {"by a search",
         {inbox({{"m-twin", other}, {"m-ours", ""}}), inbox({{"m-twin", ""}, {"m-ours", ""}, {"m-old", ""}}),
          mail("m-twin", other), mail("m-ours", ours), mail("m-old", other)}},
    };
    for (const auto& c : cases) {
        const std::size_t before = server.Requests().size();
        for (const std::string& answer : sent) server.PushAnswer(answer);
        for (const std::string& answer : c.looks) server.PushAnswer(answer);
        server.PushAnswer(ok);
        WebmailStore store(s);
        PartUpload part{"7", "r.txt", WriteManifest(manifest), "r.txt", ours, File("r.txt", "data"), 0, 4, {}, {}};
        std::string id;
        Outcome outcome = store.StorePart(part, id);
        EXPECT_TRUE(outcome.Ok()) << c.what << ": " << outcome.Text();
        EXPECT_EQ(id, "m-ours") << c.what;
        const std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(requests.size(), before + std::size(sent) + c.looks.size() + 1) << c.what;
        EXPECT_NE(requests[before + std::size(sent)].find("mbox:listMessages"), std::string::npos) << c.what;
        const std::string move = requests.back();
        EXPECT_TRUE(move.find("m-ours") != std::string::npos && move.find("m-twin") == std::string::npos &&
                    move.find("m-old") == std::string::npos)
            << c.what << ": " << move;
    }
}

// A listing asks for each mail's summary and takes it as the mail's text
// only where it is surely whole: shorter than the window and ending a line.
TEST_F(ScriptedWebmail, OnlyASummaryShorterThanTheWindowAndEndingALineIsTheWholeText) {
    const std::string atWindow = std::string(1023, 'x') + "\n", underWindow = "文" + std::string(1021, 'x') + "\n";
    const struct {
        std::string member;  // the message's summary member, as the answer writes it
        bool whole;
        std::string text;
    } cases[] = {
        {"", false, ""},
        {",'summary':'vantlo-file: 1\\nsize: 4\\n'", true, "vantlo-file: 1\nsize: 4\n"},
        {",'summary':'vantlo-file: 1\\nsize: 4'", false, ""},  // cut, or trimmed: not known whole
        {",'summary':''", false, ""},
        {",'summary':'" + atWindow.substr(0, 1023) + "\\n'", false, ""},             // 1024 characters: the window
        {",'summary':'" + underWindow.substr(0, 1024) + "\\n'", true, underWindow},  // 1023 characters, more bytes
    };
    std::vector<std::string> objects;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        objects.push_back("{'id':'m" + std::to_string(i) + "','subject':'f" + std::to_string(i) + "'" +
                          cases[i].member + "}");
    std::string answer = testsupport::OkListAnswer(objects);
    answer.insert(answer.size() - 1, ",'total':" + std::to_string(objects.size()));
    server.PushAnswer(testsupport::HttpAnswer(answer));
    WebmailStore store(s);
    std::vector<MailInfo> mails;
    Outcome outcome = store.ListMails("7", mails);
    ASSERT_TRUE(outcome.Ok()) << outcome.Text();
    ASSERT_EQ(mails.size(), std::size(cases));
    for (std::size_t i = 0; i < mails.size(); ++i)
        EXPECT_TRUE(mails[i].textListed == cases[i].whole && mails[i].text == cases[i].text) << cases[i].member;
    EXPECT_NE(server.Requests().front().find("<int name=\"summaryWindowSize\">1024</int>"), std::string::npos);
}
