// Names from the mailbox turned into local names: every name that could
// reach outside the target directory, cut a path short or show one thing
// and be another is refused with the name escaped; everything else is
// taken unchanged. A drive shows the refused ones escaped, and a stable
// mark for each later file of a name.
#include <gtest/gtest.h>

#include <string>

#include "catalog/drive_names.h"
#include "catalog/local_name.h"

namespace {

using namespace std::string_literals;
using catalog::LocalNameRules;

struct NameCase {
    std::string stored;
    LocalNameRules rules;
    bool taken;
    std::string shown;  // in the refusal, or the local name when taken
};

TEST(LocalName, TakesPlainNamesAndRefusesHostileOnesShowingThemEscaped) {
    const auto posix = LocalNameRules::Posix, windows = LocalNameRules::Windows;
    const NameCase cases[] = {
        {"report.pdf", posix, true, "report.pdf"},
        {"\xE6\x96\x87\xE4\xBB\xB6 x.txt", posix, true, "\xE6\x96\x87\xE4\xBB\xB6 x.txt"},
        {"a:b?.txt", posix, true, "a:b?.txt"},
        {"..hidden", posix, true, "..hidden"},
        {"CON.txt", posix, true, "CON.txt"},
        {"victim\0x"s, posix, false, "victim\\0x"},
        {"\0"s, posix, false, "\\0"},
        {"", posix, false, ""},
        {".", posix, false, "'.'"},
        {"..", windows, false, "'..'"},
        {"../etc/passwd", posix, false, "../etc/passwd"},
        {"a\\b", posix, false, "a\\\\b"},
        {"line\nbreak", posix, false, "line\\nbreak"},
        {"cr\r", posix, false, "cr\\r"},
        {"tab\t", posix, false, "tab\\t"},
        {"bell\x07", posix, false, "bell\\x07"},
        {"del\x7F", posix, false, "del\\x7F"},
        {"c1\xC2\x85", posix, false, "c1\\u{0085}"},
        {"evil\xE2\x80\xAEgpj.exe", posix, false, "evil\\u{202E}gpj.exe"},
        {"iso\xE2\x81\xA6x", posix, false, "iso\\u{2066}x"},
        {"mark\xE2\x80\x8F", posix, false, "mark\\u{200F}"},
        {"bad\xFF", posix, false, "bad\\xFF"},
        {"overlong\xC0\xAF", posix, false, "overlong\\xC0\\xAF"},
        {"surrogate\xED\xA0\x80", posix, false, "surrogate\\xED\\xA0\\x80"},
        {"a.vantlo-partial", posix, false, "a.vantlo-partial"},
        {"A.VANTLO-PARTIAL.verified", posix, false, "A.VANTLO-PARTIAL.verified"},
        {"a.vantlo-partial.set-aside", windows, false, "a.vantlo-partial.set-aside"},
        {"a.vantlo-partia", posix, true, "a.vantlo-partia"},
        {"a:b.txt", windows, false, "a:b.txt"},
        {"trail.", windows, false, "trail."},
        {"trail ", windows, false, "trail "},
        {"con.txt", windows, false, "con.txt"},
        {"LPT3", windows, false, "LPT3"},
        {"com10.txt", windows, true, "com10.txt"},
    };
    for (const NameCase& c : cases) {
        std::string local = "stale";
        catalog::Outcome outcome = catalog::LocalNameFor(c.stored, local, c.rules);
        const std::string label = catalog::EscapedName(c.stored);
        EXPECT_EQ(outcome.Ok(), c.taken) << label << ": " << outcome.Text();
        if (c.taken) {
            EXPECT_EQ(local, c.shown) << label;
            continue;
        }
        EXPECT_EQ(outcome.code, catalog::StoreCode::Refused) << label;
        EXPECT_TRUE(local.empty()) << label;
        EXPECT_NE(outcome.detail.find(c.shown), std::string::npos) << label << ": " << outcome.detail;
        for (char ch : outcome.detail)
            EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) << label << ": unescaped control";
    }
}

// Each kind of escape: LocalName's table; here, that the drive shows them.
TEST(DriveNames, NamesTheLocalRuleRefusesAreShownEscaped) {
    const std::pair<std::string, std::string> table[] = {
        {std::string("victim\0x", 8), "victim\\0x"},
        {"evil\xE2\x80\xAEtxt.exe", "evil\\u{202E}txt.exe"},
        {"../up", "..／up"},
        {"文件 1.txt", "文件 1.txt"},
        {"a.vantlo-partial", "a.vantlo-partial"},  // no temporary files live in the mount
    };
    for (const auto& [stored, shown] : table) EXPECT_EQ(catalog::UsableName(stored), shown) << shown;
}

TEST(DriveNames, LaterFilesOfANameGetAStableMark) {
    using catalog::Named;
    const std::vector<Named> names = {{"a.txt", "k1"}, {"a.txt", "k2"}, {"a.txt", "k3"}, {"", "k4"},
                                      {"x/y", "k5"},   {"..", "k6"},    {".rc", "k7"},   {".rc", "k8"}};
    auto a = catalog::UniqueNames(names);
    EXPECT_EQ(a[0], "a.txt");
    EXPECT_EQ(a[3], "_");
    EXPECT_EQ(a[4], "x／y");
    EXPECT_EQ(a[5], "_..");
    EXPECT_EQ(a[6], ".rc");
    EXPECT_NE(a[1], a[2]);
    EXPECT_EQ(a[1].substr(0, 2) + a[1].substr(a[1].size() - 4), "a~.txt");
    EXPECT_EQ(a[7].substr(0, 4), ".rc~");
    // A mark does not move when another duplicate goes, and a real name
    // that looks like a mark keeps its name.
    auto b = catalog::UniqueNames({{"a.txt", "k1"}, {"a.txt", "k3"}, {a[1], "k9"}});
    EXPECT_EQ(b[1], a[2]);
    EXPECT_EQ(b[2], a[1]);
    auto c = catalog::UniqueNames({{"a.txt", "k1"}, {a[1], "k9"}, {"a.txt", "k2"}});
    EXPECT_EQ(c[1], a[1]);
    EXPECT_NE(c[2], a[1]);
}

}  // namespace

TEST(DriveNames, TemporaryFilesAreToldFromFilesMeantToStay) {
    for (const char* name : {".report.pdf.Ab3xZ9", "report.pdf~", "~WRL0001.TMP", "a.docx.part", ".#notes.txt",
                             "#notes.txt#", ".~lock.plan.ods#", "~$plan.docx", "4913", ".notes.txt.swp",
                             ".goutputstream-9QK2Z1", "film.mkv.crdownload", "x.vantlo-partial"})
        EXPECT_TRUE(catalog::LooksTemporary(name)) << name;
    for (const char* name : {"report.pdf", ".bashrc", ".config.json", "tmp", "part", "名单.txt", "a~b.txt",
                             "#notes.txt", ".report.pdf.Ab3x", "2024.backup", "49130"})
        EXPECT_FALSE(catalog::LooksTemporary(name)) << name;
}
