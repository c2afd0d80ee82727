// The IMAP store through the catalog's operations against the Dovecot of
// dovecot_fixture.py (run under it): folders, multi-part round trips over a
// full server and a lean one (no UIDPLUS, MOVE, BINARY, LITERAL+, AUTH=PLAIN),
// the stored mail read by Python's MIME parser, mails other clients stored,
// refused certificates and passwords and a silent server. What every store
// does is in tests/contract.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <thread>

#include "../catalog/scratch_files.h"
#include "catalog/catalog.h"
#include "dovecot_env.h"
#include "imap/imap_store.h"
#include "imap/transfer_coding.h"
#include "provider_process.h"
#include "run_process.h"

namespace {

namespace fs = std::filesystem;
using namespace catalog;

using testsupport::DovecotPort;
using testsupport::Env;

// "imaps" and "rogue" speak TLS at once; "imap", "lean" and "stall" start plain.
Outcome Open(std::unique_ptr<MailStore>& store, const std::string& server, const std::string& ca = "ca.pem",
             int idleMs = 30000) {
    const std::string scheme = server == "imaps" || server == "rogue" ? "imaps://" : "imap://";
    const std::string host = server == "lean" ? "127.0.0.2" : "127.0.0.1";
    imap::StoreLimits limits;
    limits.idleTimeoutMs = idleMs;
    limits.fetchBatch = 3;
    return imap::OpenStore(scheme + host + ":" + DovecotPort(server), Env("VANTLO_DOVECOT_USER"),
                           Env("VANTLO_DOVECOT_PASSWORD"), Env("VANTLO_DOVECOT") + "/" + ca, limits, store);
}

using testsupport::ReadWholeFile;
using testsupport::Sha256Hex;

class ImapDovecot : public ::testing::Test {
protected:
    testsupport::ScratchDir scratch;
    const fs::path dir = scratch.path;
    std::unique_ptr<MailStore> store;

    void SetUp() override {
        if (Env("VANTLO_DOVECOT").empty()) GTEST_SKIP() << "run under tests/imap/dovecot_fixture.py";
    }
    fs::path Write(const std::string& name, const std::string& bytes) {
        return testsupport::WriteFile(dir / name, bytes);
    }
    std::vector<FileEntry> Files(const std::string& folder) {
        std::vector<FileEntry> files;
        Outcome outcome = ListFiles(*store, folder, files);
        EXPECT_TRUE(outcome.Ok()) << outcome.Text();
        return files;
    }
    const FileEntry* Named(const std::vector<FileEntry>& files, const std::string& name) {
        for (const FileEntry& file : files)
            if (file.name == name) return &file;
        return nullptr;
    }
};

// What the contract suite cannot say of every store: an IMAP folder's id is
// its name (a renamed one's too), the server's own folders are marked and
// kept, and a folder made anew numbers its mails anew, so that a key from
// before names no mail, not another one.
TEST_F(ImapDovecot, FolderIdsAreNamesAndAFolderMadeAnewForgetsOldKeys) {
    ASSERT_OK(Open(store, "imaps"));
    std::string id;
    ASSERT_OK(store->CreateFolder({}, "Zeugnisse & \xE6\x96\x87\xE4\xBB\xB6", id));
    EXPECT_EQ(id, "Zeugnisse & \xE6\x96\x87\xE4\xBB\xB6");
    ASSERT_OK(store->RenameFolder(id, "Akten/2026 \xE2\x9C\x93"));  // one level: "/" is kept as "／"
    const std::string renamed = "Akten／2026 \xE2\x9C\x93";
    std::vector<FolderInfo> folders;
    ASSERT_OK(store->ListFolders(folders));
    std::map<std::string, bool> system;
    for (const FolderInfo& folder : folders) system[folder.id] = folder.system;
    EXPECT_TRUE(system["INBOX"] && system["Trash"] && system.count(renamed) && !system[renamed] && !system.count(id));
    EXPECT_EQ(store->DeleteFolder("INBOX").code, StoreCode::Refused);
    ASSERT_OK(store->DeleteFolder(renamed));
    EXPECT_EQ(store->DeleteFolder(renamed).code, StoreCode::NotFound);

    PutResult old, fresh;
    ASSERT_OK(store->CreateFolder({}, "Again", id));
    ASSERT_OK(PutFile(*store, Write("old.txt", "old"), id, {}, old));
    ASSERT_OK(MoveFile(*store, old.key, "INBOX"));
    ASSERT_OK(store->DeleteFolder(id));
    ASSERT_OK(store->CreateFolder({}, "Again", id));
    ASSERT_OK(PutFile(*store, Write("new.txt", "new"), id, {}, fresh));
    EXPECT_EQ(old.key.substr(old.key.rfind(':')), fresh.key.substr(fresh.key.rfind(':')));  // the same UID
    EXPECT_EQ(GetFile(*store, old.key, dir / "back").code, StoreCode::NotFound);
}

// Round trips in parts and moves are the contract suite's; here the lean
// server, the details, the search, a folder that still holds a file, and
// the trash.
TEST_F(ImapDovecot, MultiPartFilesRoundTripMoveAndGoToTheTrashOnAFullAndALeanServer) {
    const std::string name = "r\xC3\xA9sum\xC3\xA9 \xE2\x9C\x93.bin", bytes = testsupport::NoiseBytes(150007, 7);
    for (const std::string server : {"imaps", "lean"}) {
        SCOPED_TRACE(server);
        ASSERT_OK(Open(store, server));
        std::string folder;
        ASSERT_OK(store->CreateFolder({}, "Files " + server, folder));
        PutResult put;
        ASSERT_OK(PutFile(*store, Write(name, bytes), folder, {40000, {}, {}}, put));
        EXPECT_EQ(put.parts, 4u);
        std::vector<FileEntry> files;
        FileDetails details;
        ASSERT_OK(StatFile(*store, put.key, details));
        EXPECT_EQ(details.size, bytes.size());
        EXPECT_EQ(details.sha256, Sha256Hex(bytes));
        ASSERT_OK(FindFiles(*store, "SUM", "", files));
        EXPECT_TRUE(
            std::any_of(files.begin(), files.end(), [&](auto& f) { return f.key == put.key && f.name == name; }));
        EXPECT_EQ(store->DeleteFolder(folder).code, StoreCode::Refused);  // it still holds the file

        std::string archive;
        ASSERT_OK(store->CreateFolder({}, "Archive " + server, archive));
        ASSERT_OK(MoveFile(*store, put.key, archive));
        files = Files(archive);
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(GetFile(*store, put.key, dir / "back").code, StoreCode::NotFound);  // the old key moved on
        ASSERT_OK(RemoveFile(*store, files[0].key));
        EXPECT_TRUE(Files(archive).empty());
        const auto trash = Files("Trash");
        const FileEntry* trashed = Named(trash, name);
        ASSERT_TRUE(trashed && trashed->Whole());
        ASSERT_OK(GetFile(*store, trashed->key, dir / "back"));
        EXPECT_TRUE(ReadWholeFile(dir / "back") == bytes);
        ASSERT_OK(RemoveFile(*store, trashed->key));  // already in the trash: it stays
        EXPECT_TRUE(Named(Files("Trash"), name));
        ASSERT_OK(store->DeleteFolder(folder));
    }
}

TEST_F(ImapDovecot, AStoredPartReadsAsTheFormatPromisesInAnotherMimeParser) {
    ASSERT_OK(Open(store, "imaps"));
    const std::string bytes = testsupport::NoiseBytes(2500, 3), name = "na\xC3\xAFve  \xE6\x96\x87.txt";
    PutResult put;
    ASSERT_OK(PutFile(*store, Write(name, bytes), "INBOX", {1000, {}, {}}, put));
    MailText mail;
    ASSERT_OK(store->ReadMailText(put.storedMailIds.at(1), mail));
    testsupport::ProcessResult parsed =
        testsupport::RunProcess({Env("VANTLO_MIME_CHECK"), Env("VANTLO_DOVECOT") + "/mail", mail.subject});
    ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
    const std::string part = bytes.substr(1000, 1000);
    EXPECT_EQ(parsed.out.substr(0, parsed.out.find("size: ")),
              "multipart/mixed text/plain attachment\n" + name + ".002 1000 " + Sha256Hex(part) + "\nvantlo-file: 1\n");
    for (const std::string& line :
         std::vector<std::string>{"\nname: " + name + "\n", "\npart: 2\n", "\nparts: 3\n", "\noffset: 1000\n",
                                  "\npart-sha256: " + Sha256Hex(part) + "\n", "\nsha256: " + Sha256Hex(bytes) + "\n"})
        EXPECT_NE(parsed.out.find(line), std::string::npos) << line << parsed.out;
}

TEST_F(ImapDovecot, AMailAnotherClientStoredListsAndDownloads) {
    ASSERT_OK(Open(store, "imaps"));  // the inbox exists from here on
    const std::string bytes = testsupport::NoiseBytes(30001, 5), encoded = imap::Base64Lines(bytes.data(), 30001);
    std::ofstream(Env("VANTLO_DOVECOT") + "/mail/" + Env("VANTLO_DOVECOT_USER") + "/new/1700000000.M1P1.other")
        << "From: a@example.test\r\nSubject: =?UTF-8?B?5oql5ZGK?= =?UTF-8?Q?_report?=\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=XX\r\n\r\n--XX\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\ncaf=E9 au=\r\n lait\r\n--XX\r\n"
           "Content-Type: application/pdf; name=\"=?UTF-8?B?5oql5ZGKLnBkZg==?=\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n"
        << encoded << "\r\n--XX--\r\n";
    // A text longer than a listing fetches along: read when asked, never taken from the listing.
    std::ofstream(Env("VANTLO_DOVECOT") + "/mail/" + Env("VANTLO_DOVECOT_USER") + "/new/1700000001.M2P1.other")
        << "From: a@example.test\r\nSubject: long\r\nContent-Type: text/plain\r\n\r\n"
        << std::string(3000, 'x') << "\r\n";
    const std::string logFile = Env("VANTLO_DOVECOT") + "/dovecot.log";  // a line for each session that ended
    for (const std::string server : {"imaps", "lean"}) {
        SCOPED_TRACE(server);
        ASSERT_OK(Open(store, server));
        const std::size_t mark = ReadWholeFile(logFile).size();
        const auto inbox = Files("INBOX");
        const FileEntry* file = Named(inbox, "\xE6\x8A\xA5\xE5\x91\x8A report");
        ASSERT_TRUE(file);
        MailText mail;
        ASSERT_OK(store->ReadMailText(file->key, mail));
        EXPECT_EQ(mail.text, "caf\xC3\xA9 au lait");  // the last CRLF belongs to the boundary
        EXPECT_TRUE(file->keyTextListed && file->keyText == mail.text) << "the listing brought the same text";
        ASSERT_TRUE(Named(inbox, "long"));
        EXPECT_FALSE(Named(inbox, "long")->keyTextListed);
        ASSERT_EQ(mail.attachments.size(), 1u);
        EXPECT_EQ(mail.attachments[0].name, "\xE6\x8A\xA5\xE5\x91\x8A.pdf");
        EXPECT_EQ(mail.attachments[0].length, bytes.size());
        ASSERT_OK(GetFile(*store, file->key, dir / "back"));
        EXPECT_TRUE(ReadWholeFile(dir / "back") == bytes);
        if (server == "imaps") continue;
        store.reset();  // its session ends: the server (no BINARY) logs the body bytes it sent
        std::string log;
        for (int wait = 0; wait < 100 && (log = ReadWholeFile(logFile)).find("on=127.0.0.2", mark) == log.npos; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_NE(log.find("on=127.0.0.2", mark), log.npos);
        EXPECT_LT(std::stoull(log.substr(log.rfind(" body=") + 6)), encoded.size() * 3 / 2) << "fetched once";
    }
}

TEST_F(ImapDovecot, AWrongCertificateIsRefusedBeforeAnyByteOfTheAccount) {
    for (auto [server, ca] : {std::pair<const char*, const char*>{"rogue", "ca.pem"}, {"imaps", "rogueca.pem"}}) {
        Outcome outcome = Open(store, server, ca);
        EXPECT_EQ(outcome.code, StoreCode::CertificateRefused) << server;
        EXPECT_NE(outcome.detail.find("certificate of 127.0.0.1 was refused"), std::string::npos) << outcome.detail;
    }
    std::string log;
    for (int attempt = 0; attempt < 100 && log.empty(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        log = ReadWholeFile(Env("VANTLO_DOVECOT") + "/log");
    }
    EXPECT_EQ(log, "rogue 0\n");
}

TEST_F(ImapDovecot, AWrongPasswordIsRefusedAndASilentServerEndsWithTimedOut) {
    const Outcome refused = imap::OpenStore("imaps://127.0.0.1:" + DovecotPort("imaps"), "tester", "wrong",
                                            Env("VANTLO_DOVECOT") + "/ca.pem", {}, store);
    EXPECT_EQ(refused.code, StoreCode::SignInRefused);
    EXPECT_EQ(refused.refusal, "AUTHENTICATIONFAILED");
    EXPECT_NE(refused.detail.find("sign-in was refused"), std::string::npos) << refused.detail;
    EXPECT_EQ(Open(store, "stall", "ca.pem", 300).code, StoreCode::TimedOut);
}

}  // namespace

// The command-line client hands its own options (--imap, --ca-file, the
// password read) to the shared opener: a file in parts goes in and comes
// back byte-exact. Its commands are otherwise those over webmail (tests/cli).
TEST_F(ImapDovecot, TheCommandLineClientUsesTheMailboxAsADrive) {
    auto cli = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {VANTLO_CLI_EXE, "--imap", "imaps://127.0.0.1:" + DovecotPort("imaps"), "--ca-file",
                                   Env("VANTLO_DOVECOT") + "/ca.pem", "--account", Env("VANTLO_DOVECOT_USER")});
        return testsupport::RunProcess(
            args, {"VANTLO_PASSWORD=" + Env("VANTLO_DOVECOT_PASSWORD"), "XDG_CACHE_HOME=" + (dir / "cache").string()});
    };
    const std::string bytes = testsupport::NoiseBytes(70001, 3);
    testsupport::ProcessResult put =
        cli({"put", "--part-size", "32K", Write("b\xC3\xA9 x.bin", bytes).string(), "INBOX"});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    ASSERT_EQ(cli({"get", put.out.substr(0, put.out.find('\n')), (dir / "back").string()}).exitCode, 0);
    EXPECT_EQ(ReadWholeFile(dir / "back"), bytes);
}
