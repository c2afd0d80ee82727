// Names from the mailbox turned into local names: every name that could
// reach outside the target directory, cut a path short or show one thing
// and be another is refused with the name escaped; everything else is
// taken unchanged.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
