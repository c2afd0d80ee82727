// Files from listings: every file once, in a fixed order, and groups that
// are not whole shown as such, never glued to something else.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "catalog/catalog.h"
#include "catalog/part_mark.h"
#include "memory_store.h"

namespace {

using namespace catalog;

TEST(GroupingTest, EveryFileOnceInAFixedOrderWhateverTheListingOrder) {
    for (int files : {0, 1, 50, 51, 120, 1000}) {
        testsupport::MemoryStore store;  // every 7th file in three parts, stored last part first
        for (int i = 0; i < files; ++i)
            for (std::uint32_t parts = i % 7 == 3 ? 3 : 1, part = parts; part >= 1; --part)
                store.Add("7", PartSubject("file" + std::to_string(i), part, parts, "0badc0de"));
        std::vector<FileEntry> listed;
        ASSERT_TRUE(ListFiles(store, "7", listed).Ok() && listed.size() == static_cast<std::size_t>(files));
        for (const FileEntry& file : listed)
            EXPECT_TRUE(file.Whole() && file.key == file.present.front().mailId &&
                        file.present.size() == (std::stoi(file.name.substr(4)) % 7 == 3 ? 3u : 1u))
                << file.name;
        EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), FileOrder));

        // Pages overlapping while mails arrive: repeated and reordered rows.
        std::vector<MailInfo> mails, repeated;
        store.ListMails("7", mails);
        store.ListMails("7", repeated);
        mails.insert(mails.end(), repeated.begin(), repeated.begin() + repeated.size() / 3);
        std::shuffle(mails.begin(), mails.end(), std::mt19937(files));
        std::vector<FileEntry> again = GroupFiles(mails);
        ASSERT_EQ(again.size(), listed.size());
        for (std::size_t i = 0; i < again.size(); ++i) EXPECT_EQ(again[i].MailIds(), listed[i].MailIds());
    }
}

TEST(GroupingTest, IncompleteLookAlikeAndDuplicatedGroupsStayApart) {
    const std::pair<const char*, const char*> mails[] = {
        // folder, subject; ids 1, 2, ... in this order
        {"7", "v [part 1 of 4 #aaaaaaaa]"}, {"7", "v [part 4 of 4 #aaaaaaaa]"}, {"7", "v [part 2 of 2 #bbbbbbbb]"},
        {"7", "v [part 1 of 2 #bbbbbbbb]"}, {"7", "v [part 1 of 2 #bbbbbbbb]"}, {"7", "v [part 2 of 2 #cccccccc]"},
        {"9", "v [part 1 of 2 #cccccccc]"}, {"7", "v [part 1 of 2 #dddddddd]"}, {"7", "v [part 2 of 2 #eeeeeeee]"},
        {"7", "v [part 3 of 2 #ffffffff]"}, {"7", "v [part 1 of 2]"},           {"7", "z [part 1 of 2 #22222222]"},
        {"7", "z [part 2 of 3 #22222222]"}, {"7", "w [part 2 of 2 #11111111]"}, {"7", "w [part 1 of 2 #11111111]"}};
    std::vector<MailInfo> listing;
    for (const auto& [folder, subject] : mails)
        listing.push_back(
            {std::to_string(listing.size() + 1), folder, subject, 100, listing.size() % 2 ? 60 : 50, true});
    std::string shown;  // odd ids arrived at 50, even ones at 60
    for (const FileEntry& file : GroupFiles(listing)) {
        shown += file.name + "|" + file.folderId + "|" + file.key + "|";
        for (const std::string& id : file.MailIds()) shown += id + ",";
        shown += "|" + file.Problems() + ";";
    }
    const std::string expected =
        "v|7|1|1,2,|parts 2-3 missing;v|9|7|7,|part 2 missing;v|7|9|9,|part 1 missing;"
        "v|7|4|4,5,3,|part 1 stored twice;v|7|6|6,|part 1 missing;v|7|8|8,|part 2 missing;"
        "v [part 1 of 2]|7|11|11,|;v [part 3 of 2 #ffffffff]|7|10|10,|not a valid part mark;"
        "w|7|15|15,14,|;z|7|13|13,|parts 1, 3 missing;z|7|12|12,|part 2 missing;";
    EXPECT_EQ(shown, expected);
}

}  // namespace
