// Names as a drive shows them: escaped where the local-name rule refuses
// them, and a stable mark for each later file of a name.
#include <gtest/gtest.h>

#include "catalog/drive_names.h"

namespace {

TEST(DriveNames, NamesTheLocalRuleRefusesAreShownEscaped) {
    const std::pair<std::string, std::string> table[] = {
        {std::string("victim\0x", 8), "victim\\0x"},
        {"line\nbreak.txt", "line\\nbreak.txt"},
        {"evil\xE2\x80\xAEtxt.exe", "evil\\u{202E}txt.exe"},
        {"a\\b", "a\\\\b"},
        {"\xFF.bin", "\\xFF.bin"},
        {"../up", "..／up"},
        {"文件 1.txt", "文件 1.txt"},
        {"a.vantlo-partial", "a.vantlo-partial"},  // no temporary files live in the mount
    };
    for (const auto& [stored, shown] : table) EXPECT_EQ(catalog::UsableName(stored), shown) << shown;
}

TEST(DriveNames, LaterFilesOfANameGetAStableMark) {
    using catalog::Named;
    auto a = catalog::UniqueNames({{"a.txt", "k1"}, {"a.txt", "k2"}, {"a.txt", "k3"}, {"", "k4"}, {"x/y", "k5"},
                                 {"..", "k6"}, {".rc", "k7"}, {".rc", "k8"}});
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
