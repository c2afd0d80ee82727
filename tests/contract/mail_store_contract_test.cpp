// What every MailStore must do, the same cases against each kind: the
// in-memory store, the webmail store on vantlo-provider over TLS, and the
// IMAP store on a real Dovecot (only under tests/imap/dovecot_fixture.py,
// which sets VANTLO_DOVECOT). Folders, every mail once over many pages,
// files in parts, a mail's whole source, the exact find of our own mail,
// same-name uploads on two connections at once, a vault's sealed file,
// moves, the trash, forks and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <thread>

#include "catalog/catalog.h"
#include "catalog/manifest.h"
#include "catalog/tree_transfer.h"
#include "dovecot_env.h"
#include "imap/imap_store.h"
#include "memory_store.h"
#include "provider_process.h"
#include "scratch_files.h"
#include "session/provider_directory.h"
#include "session/signin.h"
#include "vault/crypto_library.h"
#include "vault/sealed_files.h"
#include "webmail/webmail_store.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;
using testsupport::Sha256Hex;

#define ASSERT_OK(call)                                \
    do {                                               \
        Outcome outcome_ = (call);                     \
        ASSERT_TRUE(outcome_.Ok()) << outcome_.Text(); \
    } while (0)

constexpr std::uint32_t kPage = 4;  // small pages, so that a listing takes many
const char kAccount[] = "contract@163.example";

using testsupport::Env;

// One kind of store with whatever it needs running.
struct Kind {
    std::unique_ptr<testsupport::ProviderProcess> provider;
    std::unique_ptr<session::Session> session;
    std::unique_ptr<MailStore> store;
    bool forks = true;
};

Outcome OpenKind(const std::string& name, Kind& kind) {
    if (name == "memory") {
        kind.store = std::make_unique<testsupport::MemoryStore>();
        kind.forks = false;  // one thread: it says so
        return Success();
    }
    if (name == "provider") {
        kind.provider = std::make_unique<testsupport::ProviderProcess>(
            std::vector<std::string>{std::string(kAccount) + ":pa"}, std::vector<std::string>{"--tls"});
        if (!kind.provider->Running()) return Failure(StoreCode::Unreachable, "no provider");
        kind.session = std::make_unique<session::Session>();
        kind.session->providerOverride = kind.provider->Address();
        kind.session->caFile = kind.provider->CaFile();
        if (session::SignIn(*kind.session, kAccount, session::EntryForAccount(kAccount), "pa") != session::Status::Ok)
            return Failure(StoreCode::Refused, "sign-in");
        webmail::WebmailOptions options;
        options.pageSize = kPage;
        kind.store = std::make_unique<webmail::WebmailStore>(*kind.session, options);
        return Success();
    }
    imap::StoreLimits limits;
    limits.fetchBatch = kPage - 1;
    return imap::OpenStore("imaps://127.0.0.1:" + testsupport::DovecotPort("imaps"), Env("VANTLO_DOVECOT_USER"),
                           Env("VANTLO_DOVECOT_PASSWORD"), Env("VANTLO_DOVECOT") + "/ca.pem", limits, kind.store);
}

class MailStoreContract : public ::testing::TestWithParam<const char*> {
protected:
    const fs::path dir = testsupport::MakeTempDir("vantlo-contract-");
    Kind kind;
    MailStore* store = nullptr;
    std::string folder;

    void SetUp() override {
        if (std::string(GetParam()) == "dovecot" && Env("VANTLO_DOVECOT").empty())
            GTEST_SKIP() << "runs under tests/imap/dovecot_fixture.py";
        ASSERT_OK(OpenKind(GetParam(), kind));
        store = kind.store.get();
        const std::string name =
            std::string("contract ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_OK(store->CreateFolder({}, name.substr(0, name.find('/')), folder));
    }
    ~MailStoreContract() override { testsupport::RemoveTree(dir.string()); }

    fs::path Write(const std::string& name, const std::string& bytes) {
        return testsupport::WriteFile(dir / name, bytes);
    }
    // One mail of ours in the folder, stored the way the catalog stores a
    // one-part file; `seed` makes its upload id.
    Outcome Store(const std::string& subject, const std::string& seed, std::string& id) {
        const std::string bytes = "bytes of " + subject + " " + seed;
        Manifest manifest;
        manifest.name = subject;
        manifest.size = manifest.partSize = bytes.size();
        manifest.sha256 = manifest.partSha256 = Sha256Hex(bytes);
        manifest.uploadId = Sha256Hex(seed).substr(0, 32);
        manifest.stored = 1700000000;
        PartUpload part;
        part.folderId = folder;
        part.subject = subject;
        part.text = WriteManifest(manifest);
        part.attachmentName = subject + ".bin";
        part.uploadId = manifest.uploadId;
        part.source = Write(seed, bytes);
        part.length = bytes.size();
        return store->StorePart(part, id);
    }
    std::vector<std::string> Ids(MailStore& from, const std::string& folderId) {
        std::vector<MailInfo> mails;
        Outcome outcome = from.ListMails(folderId, mails);
        EXPECT_TRUE(outcome.Ok()) << outcome.Text();
        std::vector<std::string> ids;
        for (const MailInfo& mail : mails) ids.push_back(mail.id);
        return ids;
    }
};

INSTANTIATE_TEST_SUITE_P(Kinds, MailStoreContract, ::testing::Values("memory", "provider", "dovecot"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// Folders nest: a tree made, renamed and moved with its subtree following,
// and the refusals that keep it whole. Steps name folders by their path
// below the test's folder, looked up afresh each time (an IMAP id is the
// path, so it changes with a rename or a move).
TEST_P(MailStoreContract, FoldersNestAndMoveWithEverythingBelowThem) {
    const bool imap = std::string(GetParam()) == "dovecot";
    const std::string slashed = imap ? "a／b" : "a/b";  // the IMAP store keeps a name one level with "／"
    std::map<std::string, std::string> ids;             // path below the test folder -> id
    auto load = [&] {
        std::vector<FolderInfo> folders;
        ASSERT_OK(store->ListFolders(folders));
        std::map<std::string, FolderInfo> byId;
        for (const FolderInfo& f : folders) byId[f.id] = f;
        ids.clear();
        for (const FolderInfo& f : folders) {
            std::string path = f.name;
            std::string at = f.parentId;
            for (int guard = 0; !at.empty() && at != folder && guard < 64; ++guard) {
                ASSERT_TRUE(byId.count(at)) << f.id << " hangs from unknown " << at;
                path = byId[at].name + "/" + path;
                at = byId[at].parentId;
            }
            if (at == folder) ids[path] = f.id;
        }
    };
    auto id = [&](const std::string& path) { return path.empty() ? folder : ids.count(path) ? ids[path] : "9999999"; };
    enum class Op { Create, Rename, Move, Delete };
    const struct Step {
        Op op;
        std::string path, arg;  // Create: parent path, name; Rename: new name; Move: new parent path
        StoreCode code;
    } steps[] = {
        {Op::Create, "", "工作文档", StoreCode::Ok},
        {Op::Create, "工作文档", "2026", StoreCode::Ok},
        {Op::Create, "工作文档/2026", "三月", StoreCode::Ok},
        {Op::Create, "", "other", StoreCode::Ok},
        {Op::Create, "", "a/b", StoreCode::Ok},
        {Op::Create, "nowhere", "x", StoreCode::NotFound},
        {Op::Rename, "工作文档/2026", "2027", StoreCode::Ok},
        {Op::Delete, "工作文档/2027", "", StoreCode::Refused},             // a folder is still in it
        {Op::Move, "工作文档", "工作文档/2027/三月", StoreCode::Refused},  // below itself
        {Op::Move, "工作文档", "工作文档", StoreCode::Refused},
        {Op::Move, "工作文档/2027", "other", StoreCode::Ok},  // with 三月 along
        {Op::Create, "other/2027/三月", "深", StoreCode::Ok},
        {Op::Delete, "other/2027/三月/深", "", StoreCode::Ok},
    };
    for (const Step& step : steps) {
        load();
        std::string made;
        Outcome outcome;
        switch (step.op) {
        case Op::Create: outcome = store->CreateFolder(id(step.path), step.arg, made); break;
        case Op::Rename: outcome = store->RenameFolder(id(step.path), step.arg); break;
        case Op::Move: outcome = store->MoveFolder(id(step.path), id(step.arg)); break;
        case Op::Delete: outcome = store->DeleteFolder(id(step.path)); break;
        }
        EXPECT_EQ(outcome.code, step.code) << step.path << " " << step.arg << ": " << outcome.Text();
    }
    load();
    std::vector<std::string> paths;
    for (const auto& [path, folderId] : ids) paths.push_back(path);
    const std::vector<std::string> tree = {"other", "other/2027", "other/2027/三月", "工作文档"};
    std::vector<std::string> expected = tree;
    expected.push_back(slashed);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(paths, expected);
    // From the leaves up, the whole tree goes.
    for (const char* path : {"other/2027/三月", "other/2027", "other", "工作文档"})
        ASSERT_OK(store->DeleteFolder(id(path)));
}

// A tree of three levels and 200 files goes in through the parallel engine
// and comes back with its shape and bytes; names hold Chinese and "／".
TEST_P(MailStoreContract, ATreeOfThreeLevelsComesBackWhole) {
    const char* levels[][3] = {{"工作文档", "2026", "三月"}, {"工作文档", "2026", "四月"}, {"a／b", "深", "更深"}};
    std::map<std::string, std::string> files;  // relative path -> bytes
    for (int i = 0; i < 200; ++i) {
        const auto& branch = levels[i % 3];
        std::string path;
        for (int depth = 0; depth <= i % 4 && depth < 3; ++depth) path += std::string(branch[depth]) + "/";
        files[path + "文件-" + std::to_string(i) + ".txt"] = std::string(i % 7 * 10, 'x') + std::to_string(i);
    }
    for (const auto& [path, bytes] : files) testsupport::WriteFile(dir / "in" / fs::u8path(path), bytes);
    LocalTree local;
    ASSERT_OK(WalkLocalTree(dir / "in", local));
    ASSERT_EQ(local.files.size(), files.size());
    TransferSettings settings{kind.forks ? 4u : 1u, 48, {}, {}, nullptr};  // small parts: some files span two
    FolderTree folders;
    ASSERT_OK(FolderTree::Load(*store, folders));
    std::vector<TreePutReport> put;
    ASSERT_OK(PutTree(*store, folders, folder, local.dirs, local.files, settings, put));

    FolderTree listed;
    ASSERT_OK(FolderTree::Load(*store, listed));
    RemoteTree remote;
    ASSERT_OK(WalkRemoteTree(*store, listed, folder, remote));
    std::set<std::string> remoteDirs(remote.dirs.begin(), remote.dirs.end());
    EXPECT_EQ(remoteDirs, std::set<std::string>(local.dirs.begin(), local.dirs.end()));
    std::vector<TreeGetReport> got;
    std::vector<std::string> skipped;
    fs::create_directories(dir / "out");
    ASSERT_OK(GetTree(*store, remote.dirs, remote.files, dir / "out", settings, got, skipped));
    EXPECT_TRUE(skipped.empty());
    int same = 0;
    for (const auto& [path, bytes] : files) same += testsupport::ReadFile(dir / "out" / fs::u8path(path)) == bytes;
    EXPECT_EQ(same, 200);
}

// A tree of directories outgrows a hundred folders; every one is listed.
TEST_P(MailStoreContract, MoreThanAHundredFoldersAreAllListed) {
    std::string id;
    for (int i = 0; i < 110; ++i) ASSERT_OK(store->CreateFolder(folder, "d" + std::to_string(i), id));
    std::vector<FolderInfo> folders;
    ASSERT_OK(store->ListFolders(folders));
    EXPECT_EQ(std::count_if(folders.begin(), folders.end(), [&](const FolderInfo& f) { return f.parentId == folder; }),
              110);
}

TEST_P(MailStoreContract, EveryMailIsListedOnceOverManyPages) {
    std::set<std::string> stored;
    for (int i = 0; i < 3 * static_cast<int>(kPage) + 1; ++i) {
        std::string id;
        ASSERT_OK(Store("page mail " + std::to_string(i), "u" + std::to_string(i), id));
        stored.insert(id);
    }
    const std::vector<std::string> listed = Ids(*store, folder);
    EXPECT_EQ(listed.size(), stored.size()) << "a mail listed twice or not at all";
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), stored);
}

TEST_P(MailStoreContract, OnlyTheMailOfOurUploadIsTakenAsOurs) {
    std::string first, second;
    ASSERT_OK(Store("same subject", "upload-one", first));
    ASSERT_OK(Store("same subject", "upload-two", second));
    EXPECT_NE(first, second) << "a look-alike of the same subject was taken for the new mail";
    MailText text;
    ASSERT_OK(store->ReadMailText(second, text));
    Manifest manifest;
    std::string problem;
    ASSERT_EQ(ReadManifest(text.text, manifest, problem), ManifestRead::Ok) << problem;
    EXPECT_EQ(manifest.uploadId, Sha256Hex("upload-two").substr(0, 32));
}

TEST_P(MailStoreContract, AFileInPartsComesBackByteForByteAfterAMove) {
    std::string bytes(10 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 % 251);
    PutResult put;
    ASSERT_OK(PutFile(*store, Write("parts.bin", bytes), folder, {4096, {}, {}}, put));
    std::string other;
    ASSERT_OK(store->CreateFolder({}, "contract moved", other));
    const std::vector<std::string> ids = Ids(*store, folder);
    ASSERT_EQ(ids.size(), 3u);
    ASSERT_OK(store->MoveMails(ids, other));
    EXPECT_TRUE(Ids(*store, folder).empty());
    std::vector<FileEntry> files;
    ASSERT_OK(ListFiles(*store, other, files));
    ASSERT_EQ(files.size(), 1u);
    ASSERT_TRUE(files[0].Whole()) << files[0].Problems();
    ASSERT_OK(GetFile(*store, files[0].key, dir / "back.bin", {}));
    EXPECT_EQ(testsupport::ReadFile(dir / "back.bin"), bytes);
}

// A vault's file of several parts, each sealed as it is sent, comes back
// opened; no mail the store holds shows its name or its bytes.
TEST_P(MailStoreContract, AVaultFileInPartsComesBackWhileTheStoreHoldsItSealed) {
    ASSERT_OK(vault::StartCryptoLibrary());
    const vault::VaultKey key(vault::SecretBytes(32), vault::Bytes(16, 7));
    std::string bytes(150000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 % 251);
    TransferSettings settings;
    settings.transfers = kind.forks ? 3 : 1;
    settings.partSize = 40000;
    std::vector<PutReport> put;
    ASSERT_OK(vault::PutSealedFiles(*store, key, {Write("plan B.txt", bytes)}, folder, dir, settings, put));
    EXPECT_EQ(put.at(0).parts, 4u);
    GetReport got;
    ASSERT_OK(vault::GetSealedFile(*store, key, folder, "plan B.txt", dir / "back", settings, got));
    EXPECT_EQ(testsupport::ReadFile(dir / "back"), bytes);
    for (const std::string& id : Ids(*store, folder)) {
        MailText mail;
        std::string attachment;
        ASSERT_OK(store->ReadMailText(id, mail));
        ASSERT_OK(store->FetchAttachment(
            id, [&](const char* data, std::size_t size) { return attachment.append(data, size), true; }));
        for (const std::string& held : {mail.subject, mail.text, mail.attachments.at(0).name})
            EXPECT_EQ(held.find("plan B"), std::string::npos) << held;
        EXPECT_EQ(attachment.find(bytes.substr(70000, 32)), std::string::npos);
    }
}

TEST_P(MailStoreContract, SameNameUploadsAtOnceOnTwoConnectionsLandEachAsItsOwnFile) {
    if (!kind.forks) GTEST_SKIP() << "one connection only";
    std::unique_ptr<MailStore> other;
    ASSERT_OK(store->Fork(other));
    const std::string first(8000, '1'), second(8000, '2');
    PutResult one, two;
    Outcome oneOutcome;
    std::thread thread([&] { oneOutcome = PutFile(*other, Write("a/same.bin", first), folder, {3000, {}, {}}, one); });
    const Outcome twoOutcome = PutFile(*store, Write("b/same.bin", second), folder, {3000, {}, {}}, two);
    thread.join();
    ASSERT_TRUE(oneOutcome.Ok() && twoOutcome.Ok()) << oneOutcome.Text() << twoOutcome.Text();
    std::vector<FileEntry> files;
    ASSERT_OK(ListFiles(*store, folder, files));
    ASSERT_EQ(files.size(), 2u);
    for (const FileEntry& file : files) EXPECT_TRUE(file.Whole() && file.name == "same.bin" && file.parts == 3);
    for (const auto& [put, bytes] : {std::pair{&one, &first}, std::pair{&two, &second}}) {
        ASSERT_OK(GetFile(*store, put->key, dir / "back", {}));
        EXPECT_TRUE(testsupport::ReadFile(dir / "back") == *bytes);
    }
}

TEST_P(MailStoreContract, DeletedMailsLeaveTheFolderAndAForkSeesTheSameMailbox) {
    std::string kept, gone;
    ASSERT_OK(Store("kept", "k", kept));
    ASSERT_OK(Store("gone", "g", gone));
    ASSERT_OK(store->DeleteMails({gone}));
    const std::vector<std::string> ids = Ids(*store, folder);
    ASSERT_EQ(ids.size(), 1u);
    std::unique_ptr<MailStore> fork;
    Outcome forked = store->Fork(fork);
    if (!kind.forks) {
        EXPECT_FALSE(forked.Ok()) << "a store that cannot fork says so";
        return;
    }
    ASSERT_TRUE(forked.Ok() && fork) << forked.Text();
    EXPECT_EQ(Ids(*fork, folder), ids);
}

TEST_P(MailStoreContract, AMailsSourceComesWholeWithinItsBound) {
    std::string id;
    ASSERT_OK(Store("source", "s", id));
    std::string source;
    const ByteSink keep = [&](const char* data, std::size_t size) { return source.append(data, size), true; };
    ASSERT_OK(store->FetchSource(id, keep, 1 << 20));
    EXPECT_NE(source.find("Subject: "), std::string::npos) << source.substr(0, 300);
    EXPECT_NE(source.find(Sha256Hex("s").substr(0, 32)), std::string::npos) << "the manifest's upload id is not in it";
    const std::size_t whole = source.size();
    source.clear();
    EXPECT_EQ(store->FetchSource(id, keep, whole - 1).code, StoreCode::TooLarge);
    EXPECT_LT(source.size(), whole) << "a source past its bound was handed on whole";
    EXPECT_TRUE(store->FetchSource(id, keep, whole).Ok()) << "the store is not usable after a refusal";
}

TEST_P(MailStoreContract, WhatIsNotThereIsRefusedNotInvented) {
    std::string id;
    ASSERT_OK(Store("real", "r", id));
    const std::string missing = id + "9999";  // of the same form as a real id
    MailText text;
    EXPECT_FALSE(store->ReadMailText(missing, text).Ok());
    bool handed = false;
    EXPECT_FALSE(store->FetchAttachment(missing, [&](const char*, std::size_t) { return handed = true; }).Ok());
    EXPECT_FALSE(store
                     ->FetchSource(
                         missing, [&](const char*, std::size_t) { return handed = true; }, 1 << 20)
                     .Ok());
    EXPECT_FALSE(handed) << "bytes of a mail that is not there";
    EXPECT_FALSE(store->RenameFolder(folder + "9999", "nowhere").Ok());
    EXPECT_EQ(Ids(*store, folder), std::vector<std::string>{id}) << "a refusal changed the folder";
}

}  // namespace
