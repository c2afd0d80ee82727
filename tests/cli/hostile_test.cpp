// vantlo-cli against what a stranger can do to the account and to the
// directory it writes into: subjects mailed in that name no local file
// (forged in the provider's data, as a mail from anyone would arrive), a
// look-alike part in the inbox, links planted beside the target, two puts
// of one file at once, a part too large for one mail. Every case ends with
// a clear message, nothing written outside the target and nothing local
// deleted.
#include <sys/stat.h>

#include <algorithm>
#include <future>
#include <sstream>

#include "provider_cli.h"

namespace {

using namespace clitest;

unsigned ModeOf(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 01000;
}

// The provider's index escapes these four; any other byte stands as it is.
std::string IndexField(const std::string& text) {
    std::string out;
    for (char c : text) {
        const char* escaped = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
        out += escaped ? std::string(escaped) : std::string(1, c);
    }
    return out;
}

struct CliHostileTest : ProviderCli {
    const fs::path out = dir / "out";

    CliHostileTest() { fs::create_directories(out); }
    std::string Put(const std::string& name, const std::string& bytes, const std::string& folder,
                    const std::string& partSize = "1M") {
        ProcessResult put = Run({"put", "--part-size", partSize, Write(name, bytes).string(), folder});
        EXPECT_EQ(put.exitCode, 0) << put.err;
        return put.out.substr(0, put.out.find('\n'));
    }
    // Rewrites the stored mails whose subject begins with `subject`: a new
    // subject, an emptied attachment.
    void Forge(const std::string& subject, const std::string* newSubject, bool emptyAttachment) {
        EditIndex([&](const std::string& index) {
            std::istringstream in(index);
            std::string text;
            for (std::string line; std::getline(in, line);) {
                std::vector<std::string> fields;
                std::istringstream split(line);
                for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
                if (fields.size() > 11 && fields[0] == "message" && fields[11].rfind(IndexField(subject), 0) == 0) {
                    if (newSubject) fields[11] = IndexField(*newSubject);
                    if (emptyAttachment) {
                        fields[4] = "0";
                        std::ofstream(AccountFile("attachments") / fields[1], std::ios::trunc);
                    }
                    line.clear();
                    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + fields[i];
                }
                text += line + "\n";
            }
            return text;
        });
    }
};

TEST_F(CliHostileTest, SubjectsThatNameNoLocalFileAreRefusedAndTouchNothing) {
    struct Case {
        std::string subject, shown;
    };
    const Case cases[] = {
        {std::string("victim\0x", 8), "victim\\0x"},
        {"../victim", "path separator"},
        {"line\nbreak", "line\\nbreak"},
        {"evil\xE2\x80\xAEtxt.exe", "evil\\u{202E}txt.exe"},
        {"victim.vantlo-partial", "kept for the temporary files"},
    };
    std::ofstream(out / "victim") << "precious";
    for (const Case& c : cases) {
        const std::string key = Put("plain.txt", "hello", "1");
        Forge("plain.txt", &c.subject, false);
        ProcessResult get = Run({"get", key, out.string()});
        EXPECT_EQ(get.exitCode, 1) << c.shown;
        EXPECT_NE(get.err.find(c.shown), std::string::npos) << get.err;
        EXPECT_EQ(get.err.find('\0'), std::string::npos) << "no raw NUL in the message";
        EXPECT_EQ(std::distance(fs::directory_iterator(out), {}), 1) << c.shown << ": only the victim is there";
        EXPECT_EQ(ReadFile(out / "victim"), "precious") << c.shown;
        // Under a name the user gives, the file comes whole.
        EXPECT_EQ(Run({"get", key, (dir / "named").string()}).exitCode, 0) << c.shown;
        EXPECT_EQ(ReadFile(dir / "named"), "hello") << c.shown;
    }
}

TEST_F(CliHostileTest, ALookAlikePartInTheInboxIsSentAgainNotAdopted) {
    std::string bytes(3 * 65536 - 100, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 / 7);
    // A stranger's copy (not recorded here) in the inbox, part 2 with its bytes emptied.
    env.back() = "XDG_CACHE_HOME=" + (dir / "stranger-cache").string();
    Put("pub.bin", bytes, "1", "64K");
    env.back() = "XDG_CACHE_HOME=" + (dir / "cache").string();
    Forge("pub.bin [part 2 of 3", nullptr, true);
    ProcessResult put = Run({"put", "--part-size", "64K", (dir / "pub.bin").string(), "65550"});
    ASSERT_EQ(put.exitCode, 0) << put.err;
    EXPECT_NE(put.err.find("1 part(s) found in the mailbox did not hold this file's bytes"), std::string::npos)
        << put.err;
    EXPECT_EQ(put.err.find("resumed"), std::string::npos) << "nothing of that upload continued: " << put.err;
    const std::string key = put.out.substr(0, put.out.find('\n'));
    ProcessResult get = Run({"get", key, (out / "pub.bin").string()});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_TRUE(ReadFile(out / "pub.bin") == bytes);
    // The upload ids kept for that are this user's alone.
    EXPECT_EQ(ModeOf(dir / "cache" / "vantlo" / "demo@163.example.uploads"), 0600u);
}

// Catalog's hostile test plants the rest; here what the user is told.
TEST_F(CliHostileTest, ALinkPlantedBesideTheTargetIsSetAsideAndSaidSo) {
    const std::string key = Put("notes.txt", "fresh bytes", "65550");
    std::ofstream(out / "victim") << "precious";
    fs::create_symlink(out / "victim", out / "out.bin.vantlo-partial");
    ProcessResult get = Run({"get", key, (out / "out.bin").string()});
    EXPECT_EQ(get.exitCode, 0) << get.err;
    EXPECT_NE(get.err.find("moved to '" + (out / "out.bin.vantlo-partial").string() + ".set-aside'"), std::string::npos)
        << get.err;
    EXPECT_EQ(ReadFile(out / "victim"), "precious");
    EXPECT_EQ(ReadFile(out / "out.bin"), "fresh bytes");
}

TEST_F(CliHostileTest, DamagedManifestsAreMarkedInLsAndStat) {
    const std::string key = Put("forged.bin", std::string(5000, 'f'), "65550", "2K");
    const std::string plain = Put("plain.txt", "hello", "65550");
    // Every part's manifest claims the largest size there is.
    int forged = 0;
    EditIndex([&](std::string text) {
        for (std::size_t at; (at = text.find("\\nsize: 5000\\n")) != std::string::npos; ++forged)
            text.replace(at, 14, "\\nsize: 18446744073709551615\\n");
        return text;
    });
    ASSERT_EQ(forged, 3);
    const std::string listed = Run({"ls", "65550"}).out;
    EXPECT_NE(listed.find("forged.bin\t-\t3 damaged: its manifest does not read\t"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("18446744073709551615"), std::string::npos) << listed;
    EXPECT_NE(listed.find("plain.txt\t5\t1\t"), std::string::npos) << listed;
    // What the manifests said is kept for the next ls, readable by this user alone.
    EXPECT_EQ(ModeOf(dir / "cache" / "vantlo" / "demo@163.example.manifests"), 0600u);
    EXPECT_EQ(ModeOf(dir / "cache" / "vantlo"), 0700u);
    ProcessResult stat = Run({"stat", key});
    EXPECT_EQ(stat.exitCode, 0) << stat.err;
    EXPECT_NE(stat.out.find("\nsize: -\n"), std::string::npos) << stat.out;
    EXPECT_NE(stat.out.find("\ndamaged: the manifest does not read: size is more than its parts can hold\n"),
              std::string::npos)
        << stat.out;
}

TEST_F(CliHostileTest, TwoPutsOfOneFileAtOnceEndWithOneCopy) {
    std::string bytes(6 * 65536, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 / 3);
    const std::vector<std::string> put = {"put", "--part-size", "64K", Write("twice.bin", bytes).string(), "65550"};
    auto first = std::async(std::launch::async, [&] { return Run(put); });
    ProcessResult second = Run(put);
    ProcessResult one = first.get();
    ASSERT_TRUE(one.exitCode == 0 && second.exitCode == 0) << one.err << second.err;
    EXPECT_EQ(one.out, second.out) << "both name the one copy";
    const std::string listed = Run({"ls", "65550"}).out;
    std::size_t copies = 0;
    for (std::size_t at = 0; (at = listed.find("twice.bin\t", at)) != std::string::npos; ++at) ++copies;
    EXPECT_EQ(copies, 1u) << listed;
    EXPECT_NE(listed.find("twice.bin\t393216\t6\t"), std::string::npos) << "whole: " << listed;
    EXPECT_EQ(Run({"find", "twice", "1"}).out, "") << "nothing left in the inbox";
}

TEST_F(CliHostileTest, APartTooLargeForOneMailSaysToStoreWithSmallerParts) {
    providerArgs = {"--attachment-limit", "100000"};
    provider.reset();
    provider = StartProvider();
    ProcessResult put =
        Run({"put", "--part-size", "200K", Write("big.bin", std::string(300000, 'b')).string(), "65550"});
    EXPECT_EQ(put.exitCode, 1);
    EXPECT_NE(
        put.err.find(
            "running the command again will not help: store the file with a smaller --part-size (below the 204800"),
        std::string::npos)
        << put.err;
    EXPECT_EQ(put.err.find("finishes the job"), std::string::npos) << put.err;
}

}  // namespace
