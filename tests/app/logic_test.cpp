// The desktop's portable logic as tables of inputs and what is shown: texts,
// the folder tree's kinds and menus, the list's menu and move targets, the
// main window's size rule, the notice fetch and the link's command line.
#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "app/account.h"
#include "app/file_texts.h"
#include "app/folder_ids.h"
#include "app/folder_tree_model.h"
#include "app/layout.h"
#include "app/list_menu_model.h"
#include "app/notice.h"
#include "app/texts.h"
#include "fault_server.h"

namespace {

TEST(SizeText, ShowsBytesKilobytesAndMegabytesWithTruncatedDecimals) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"0", "0 BYTE"}, {"1023", "1023 BYTE"}, {"1024", "1.00 KB"}, {"1536", "1.50 KB"}, {"2047", "1.99 KB"},
        {"1048575", "1023.99 KB"}, {"1048576", "1.00 MB"}, {"1100000", "1.04 MB"}, {"1572864", "1.50 MB"},
        {" +2048xyz", "2.00 KB"}, {"abc", "0 BYTE"}, {"", "0 BYTE"}, {"-5", "-5 BYTE"},
        {"99999999999999999999999", "8796093022207.99 MB"}, {"-99999999999999999999", "-9999999999999 BYTE"}};
    // clang-format on
    for (const auto& [cell, shown] : cases) {
        EXPECT_EQ(app::FormatSizeText(cell), shown) << cell;
        EXPECT_LE(app::FormatSizeText(cell).size(), 19u) << "fits the column's 20-byte text";
    }
}

TEST(ListTexts, FolderTitlesAndProposedNames) {
    const app::FolderList folders = {{"3", "已发送", "12", "4"},
                                     {"0070000", "R&D", "1", "0"},
                                     {"70001", std::string(60, 'x') + "文件夹文件夹文件夹文件夹文件夹", "9", "9"}};
    EXPECT_EQ(app::FolderTitle(folders, "3"), "已发送");
    EXPECT_EQ(app::FolderTitle(folders, "70000"), "R&D") << "ids compare as numbers";
    EXPECT_EQ(app::FolderTitle(folders, "9"), "");
    EXPECT_EQ(app::FolderTitle(folders, "70001"), std::string(60, 'x') + "文件夹文件夹文件夹文件夹文") << "99 bytes";
    EXPECT_EQ(app::FolderTitle(folders, "3", 8, 1288490189), "已发送 (8 个文件, 1.2 GB)") << "files, not mails";
    EXPECT_EQ(app::FolderTitle(folders, "70001", 1, 5), std::string(60, 'x') + "文件夹文件 (1 个文件, 5 字节)")
        << "the counts stay whole within 99 bytes";

    // clang-format off
    const std::pair<std::uint64_t, const char*> sizes[] = {
        {0, "0 字节"},           {1023, "1023 字节"},        {1024, "1.0 KB"},          {1535, "1.4 KB"},
        {1048575, "1023 KB"},    {1048576, "1.0 MB"},        {104857599, "99.9 MB"},    {104857600, "100 MB"},
        {1288490189, "1.2 GB"},  {~std::uint64_t{0}, "15.9 EB"}};
    // clang-format on
    for (const auto& [bytes, shown] : sizes) EXPECT_EQ(app::HumanSize(bytes), shown) << bytes;
    catalog::FolderInfo full{"1", "收件箱", 3, 0, 1288490188}, empty{"5", "草稿箱"}, unsized{"7", "x", 2};
    EXPECT_EQ(app::SpaceUsedText({full, empty, {"9", "y", 1, 0, 1}}), "已用 1.2 GB (各文件夹邮件之和)");
    EXPECT_EQ(app::SpaceUsedText({full, unsized}), "") << "a folder of mails without a size: no sum that leaves it out";
    EXPECT_EQ(app::SpaceUsedText({full, {"9", "y", 1, 0, ~std::uint64_t{0}}}), "已用 15.9 EB (各文件夹邮件之和)");

    EXPECT_EQ(app::ProposedFileName("notes/plan:final?.txt"), "notes-plan-final-.txt");
    EXPECT_EQ(app::ProposedFileName("a\\b<c>d|e\"f*g 文件"), "a-b-c-d-e-f-g 文件");
    EXPECT_EQ(app::ProposedFileName(std::string("victim\0x\r\n\x1b\x7f", 12)), "victim-x----")
        << "a NUL must not cut the name the system sees";
}

TEST(StatusTexts, ProgressLinesFailuresAndTheDomainNotice) {
    using catalog::StoreCode;
    catalog::Outcome full = catalog::Failure(StoreCode::Refused, "store part: mailbox");
    full.refusal = "OVERQUOTA";
    catalog::Outcome refused = catalog::Failure(StoreCode::Refused, "move mails 5");
    refused.refusal = "FA_SECURITY";
    const struct {
        app::Work work;
        catalog::Outcome outcome;
        const char* shown;
    } failures[] = {
        {app::Work::Download, catalog::Failure(StoreCode::LocalFile, ""),
         "下载失败: 无法写入本地文件。请检查目标文件夹的空间和权限。"},
        {app::Work::Move, catalog::Failure(StoreCode::Unreachable, "move mails: the connection could not be made"),
         "移动文件失败: 无法连接服务器。请检查网络连接, 稍后再试。"},
        {app::Work::Upload,
         catalog::Failure(StoreCode::Unreachable, "store: the certificate of 127.0.0.1 was refused: expired"),
         "上传失败: 服务器的证书未通过验证, 连接已中止, 没有发送任何数据。请检查系统时间, 或联系网络管理员。"},
        {app::Work::Upload, full, "上传失败: 邮箱已满。请在已删除中清理文件或释放空间后再试。"},
        {app::Work::Move, refused,
         "移动文件失败: 服务器拒绝了请求 (代码 FA_SECURITY)。请稍后再试; 如果一再出现, 请在网页邮箱中查看。"},
        {app::Work::List, catalog::Success(), ""},
    };
    for (const auto& failure : failures)
        EXPECT_EQ(app::FailureText(failure.work, failure.outcome), failure.shown) << failure.shown;
    for (int code = static_cast<int>(StoreCode::NotFound); code <= static_cast<int>(StoreCode::CertificateRefused);
         ++code) {
        std::string text = app::FailureText(app::Work::Delete,
                                            catalog::Failure(static_cast<StoreCode>(code), "the mailbox cannot be"));
        EXPECT_EQ(text.find("未知"), std::string::npos) << "every code has a reason of its own: " << code;
        EXPECT_EQ(text.find("mailbox"), std::string::npos) << "no English detail: " << text;
    }
    EXPECT_STREQ(app::ConnectFailureText(app::Work::DeleteFolder), app::kUnreachableText);
    EXPECT_EQ(app::ConnectFailureText(app::Work::List), nullptr) << "a listing has no box of its own";

    const std::pair<catalog::Outcome, std::string> signIns[] = {
        {catalog::Failure(StoreCode::Refused, "sign-in failed: wrong password or unknown user"),
         app::kWrongPasswordText},
        {catalog::Failure(StoreCode::Unreachable, "sign-in failed: the sign-in server cannot be reached"),
         std::string("登录失败: ") + app::kUnreachableText},
        {catalog::Failure(StoreCode::Unreachable, "sign-in failed: the certificate of a.example was refused: x"),
         std::string("登录失败: ") + app::kCertificateRefusedText},
        {catalog::Failure(StoreCode::SignInRefused, "LOGIN: no"), app::kWrongPasswordText},
        {catalog::Failure(StoreCode::CertificateRefused, "x"),
         std::string("登录失败: ") + app::kCertificateRefusedText},
        {catalog::Failure(StoreCode::Refused, "unsupported account domain in 'a@b'"),
         "登录失败: 服务器拒绝了登录。请检查账号的写法后重试。"},
    };
    for (const auto& [outcome, shown] : signIns) EXPECT_EQ(app::SignInFailureText(outcome), shown) << outcome.detail;

    const std::vector<std::string> many = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"};
    EXPECT_EQ(app::DeleteFilesQuestion({"R&D.txt", "b"}),
              "将 2 个文件移到已删除?\r\n\r\nR&D.txt\r\nb\r\n\r\n它们可以在已删除中找回。");
    EXPECT_NE(app::DeleteFilesQuestion(many).find("j\r\n... 以及另外 2 个文件"), std::string::npos);
    EXPECT_EQ(app::FilesMovedText("已删除", {"a", "b"}), "已将 2 个文件移到已删除: a, b");
    EXPECT_EQ(app::FilesMovedText("\"乙\"", many), "已将 12 个文件移到\"乙\": a, b, c 等");

    EXPECT_EQ(app::UnsupportedDomainText(),
              "不支持此邮件服务提供商或者格式不正确\r\n您应输入如下格式: yourname@163.example\r\n"
              "yourname@126.example\r\nyourname@yeah.example\r\nIMAP 邮箱: imaps://用户名@服务器:端口");
}

app::FileRow FileOf(const std::string& name, std::vector<std::string> ids, bool attached, std::uint32_t parts = 1) {
    app::FileRow row;
    row.file.key = ids.front();
    row.file.name = name;
    row.file.parts = parts;
    for (std::size_t i = 0; i < ids.size(); ++i)
        row.file.present.push_back({static_cast<std::uint32_t>(i + 1), ids[i], 1000});
    if (ids.size() < parts) row.file.missing.push_back({static_cast<std::uint32_t>(ids.size() + 1), parts});
    row.file.listedSize = 1000 * ids.size();
    row.attached = attached;
    return row;
}

TEST(FileList, FilterChecksSizesCellsAndPageSteps) {
    app::FileList list;
    list.Show(
        {"7",
         "",
         {FileOf("a.bin", {"11", "12"}, true, 2), FileOf("note", {"13"}, false), FileOf("cut.iso", {"14"}, true, 3)}});
    list.SetChecked(1, true);
    EXPECT_EQ(list.CheckedItems(), std::vector<std::size_t>{1});
    EXPECT_EQ(app::MailIdsOf(list, {0, 2, 5}), (std::vector<std::string>{"11", "12", "13"})) << "every part";
    list.SetAttachmentsOnly(true);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Row(1)->file.name, "cut.iso");
    EXPECT_TRUE(list.CheckedItems().empty()) << "a check stood for a row that is gone";

    app::FileRow sized = FileOf("a.bin", {"11", "12"}, true, 2);
    sized.file.sizeKnown = true;
    sized.file.size = 1536;
    list.TakeSizes({sized});
    app::FileCells cells = app::CellsOf(*list.Row(0));
    EXPECT_EQ(cells.title, "@  a.bin");
    EXPECT_EQ(cells.size, "1.50 KB") << "the whole file's size";
    cells = app::CellsOf(*list.Row(1));
    EXPECT_EQ(cells.title, "@  cut.iso (不完整)");
    EXPECT_EQ(cells.size, "1000 BYTE") << "as listed until the manifest tells";
    app::FileRow forged = FileOf("forged.bin", {"16"}, true);
    forged.file.damaged = true;
    EXPECT_EQ(app::CellsOf(forged).title, "@  forged.bin (已损坏)") << "a manifest that does not read is told";

    struct Step {
        std::size_t top, count, visible;
        int direction;
        std::size_t expected;
    };
    for (const Step& s :
         {Step{0, 1000, 20, +1, 50}, Step{970, 1000, 20, +1, 980}, Step{980, 1000, 20, +1, 980},
          Step{60, 1000, 20, -1, 10}, Step{30, 1000, 20, -1, 0}, Step{0, 10, 20, +1, 0}, Step{0, 0, 20, -1, 0}})
        EXPECT_EQ(app::PageStepTop(s.top, s.count, s.visible, s.direction), s.expected) << s.top << " " << s.count;
}

app::FileRow Sized(const std::string& name, std::uint64_t size, std::int64_t stored) {
    app::FileRow row = FileOf(name, {name}, true);
    row.file.sizeKnown = true;
    row.file.size = size;
    row.file.storedAt = stored;
    return row;
}

TEST(FileList, ColumnsAndSortingLikeAFileManager) {
    setenv("TZ", "UTC", 1);
    tzset();
    app::FileList list;
    list.Show({"7",
               "",
               {Sized("b.TXT", 30, 300), Sized("R&D <2026>.zip", 10, 200), Sized("a.zip", 20, 100),
                Sized("Makefile", 20, 400)}});
    auto order = [&] {
        std::string names;
        for (std::size_t i = 0; i < list.Count(); ++i) names += list.Row(i)->file.name + "|";
        return names;
    };
    EXPECT_EQ(order(), "a.zip|b.TXT|Makefile|R&D <2026>.zip|") << "by name at first, without case";
    list.SetChecked(0, true);  // a.zip
    const struct {
        app::FileColumn column;
        bool descending;
        const char* order;
    } sorts[] = {
        {app::FileColumn::Name, true, "R&D <2026>.zip|Makefile|b.TXT|a.zip|"},
        {app::FileColumn::Size, false, "R&D <2026>.zip|a.zip|Makefile|b.TXT|"},
        {app::FileColumn::Size, true, "b.TXT|Makefile|a.zip|R&D <2026>.zip|"},
        {app::FileColumn::Modified, false, "a.zip|R&D <2026>.zip|b.TXT|Makefile|"},
        {app::FileColumn::Type, false, "Makefile|b.TXT|a.zip|R&D <2026>.zip|"},
    };
    for (const auto& sort : sorts) {
        list.SortBy(sort.column, sort.descending);
        EXPECT_EQ(order(), sort.order) << static_cast<int>(sort.column) << sort.descending;
        ASSERT_EQ(list.CheckedItems().size(), 1u);
        EXPECT_EQ(list.Row(list.CheckedItems()[0])->file.name, "a.zip") << "the check stays with its file";
    }
    list.Show({"7", "", {Sized("a.zip", 1, 0), Sized("b.txt", 2, 0)}});
    EXPECT_EQ(order(), "b.txt|a.zip|") << "a new listing keeps the chosen order";
    EXPECT_EQ(list.TotalBytes(), 3u);

    app::FileRow cut = FileOf("R&D <2026>.tar.GZ", {"14"}, true, 3);
    cut.file.storedAt = 1796642444;
    app::FileColumns columns = app::ColumnsOf(cut);
    EXPECT_EQ(columns.name, "R&D <2026>.tar.GZ (不完整)") << "no @, & shown as it is";
    EXPECT_EQ(columns.size, "1000 字节");
    EXPECT_EQ(columns.modified, "2026-12-07 11:20");
    EXPECT_EQ(columns.type, "GZ 文件");
    EXPECT_EQ(app::ColumnsOf(Sized(".profile", 1, 0)).type, "文件") << "a leading dot is no extension";
    EXPECT_EQ(app::ColumnsOf(Sized(".profile", 1, 0)).modified, "");
}

TEST(FileTexts, PropertiesAndMailPaths) {
    catalog::FileDetails details;
    details.entry = FileOf("cut.iso", {"14"}, true, 3).file;
    details.size = 2048;
    details.stored = 1796642444;
    const std::string text = app::FilePropertiesText(details, app::DownloadVerdict::Failed);
    for (const char* line :
         {"名称: cut.iso\r\n", "大小: 2048 字节 (2.00 KB)\r\n", "分段: 3\r\n", "    1: 14\r\n",
          "不完整: parts 2-3 missing\r\n", "SHA-256: 无", "存储时间: 2026-12-07 11:20:44 UTC", "上次下载: 校验失败"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in " << text;
    EXPECT_EQ(app::MailPathOf("d/v.mp4.eml", 1, 1), std::filesystem::path("d/v.mp4.eml"));
    EXPECT_EQ(app::MailPathOf("d/v.mp4.eml", 2, 12), std::filesystem::path("d/v.mp4.part2.eml"));
}

std::vector<unsigned> Commands(app::TreeItemKind kind) {
    std::vector<unsigned> commands;
    for (const app::TreeMenuItem& item : app::TreeMenuItems(kind)) commands.push_back(item.command);
    return commands;
}

TEST(FolderTreeModel, KindsOfItemsAndTheirMenus) {
    const std::vector<unsigned> fixed = {255, 262, 256, 259, 260, 261};
    const std::vector<unsigned> full = {255, 262, 256, 257, 258, 259, 260, 261};
    struct Case {
        std::vector<std::uint32_t> upward;  // the item's data, then each item above it
        app::TreeItemKind kind;
        std::vector<unsigned> menu;
    } cases[] = {
        {{65537}, 65536, {513}},            // the account item
        {{65537, 65537}, 65537, {512}},     // the mail root item
        {{0, 65537, 65537}, 65537, {512}},  // a folder of id 0
        {{3, 65537, 65537}, 65540, fixed},  // fixed folders: no rename or delete
        {{7, 65537, 65537}, 65544, full},
        {{10, 65537, 65537}, 65547, full},
        {{11, 65537, 65537}, 0, {}},  // ids 11 to 65549 offer nothing
        {{65549, 65537, 65537}, 0, {}},
        {{65550, 65537, 65537}, 65549, full},
        {{4294967295u, 65537, 65537}, 65549, full},
        {{5, 1, 65537}, 0, {}},  // not under the mail root
        // Nested folders: the kind their own id gives, at any depth.
        {{3, 65550, 65537, 65537}, 65540, fixed},
        {{65551, 65550, 70000, 65537, 65537}, 65549, full},
        {{65551, 65550, 65537, 1}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.upward.front());
        app::TreeItemKind kind = app::ClassifyTreeChain(c.upward);
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(Commands(kind), c.menu);
    }
    EXPECT_EQ(app::FolderIdToItemData("4294967295"), 4294967295u);
    for (const char* bad : {"4294967296", "12a", "", "-3"}) EXPECT_EQ(app::FolderIdToItemData(bad), 0u) << bad;
}

// The tree's items in insertion order, one line each: depth as dots, "+"
// for an item with children.
std::string Nested(const app::FolderList& folders) {
    std::string lines;
    for (const app::TreeFolderRow& row : app::NestFolders(folders))
        lines += std::string(row.depth, '.') + app::FolderLabel(folders[row.folder].name) +
                 (row.hasChildren ? "+" : "") + "\n";
    return lines;
}

TEST(FolderTreeModel, FoldersNestUnderTheirParentsInListedOrder) {
    auto folder = [](const char* id, const char* name, const char* parent) {
        return app::Folder{id, name, "", "", parent};
    };
    const struct {
        app::FolderList folders;
        const char* shown;
    } cases[] = {
        {{folder("1", "收件箱", ""), folder("65552", "三月", "65551"), folder("65550", "工作", ""),
          folder("65551", "2026", "65550"), folder("65553", "a/b", "65550"), folder("4", "已删除", "")},
         "收件箱\n工作+\n.2026+\n..三月\n.a／b\n已删除\n"},
        // A parent not listed, a folder its own parent, a loop of two.
        {{folder("65550", "孤", "99"), folder("65551", "自", "65551"), folder("65552", "甲", "65553"),
          folder("65553", "乙", "65552")},
         "孤\n自\n甲+\n.乙\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(Nested(c.folders), c.shown);
    EXPECT_EQ(app::FolderNameFromLabel(app::FolderLabel("a/b／c")), "a/b/c") << "the user's ／ is a slash";
}

TEST(ListMenuModel, TheMenuAndItsMoveTargets) {
    app::ListMenu bare = app::BuildListMenu(false, {});
    ASSERT_EQ(bare.entries.size(), 1u);
    EXPECT_EQ(bare.entries[0].id, app::CmdUploadFile);
    EXPECT_EQ(bare.entries[0].text, "上传文件");

    auto folder = [](const char* id, const char* name) { return app::Folder{id, name, "", ""}; };
    const app::FolderList folders = {folder("1", "收件箱"), folder("4095", "低"), folder("4096", "A&B"),
                                     folder("x7", "坏"), folder("70000", "照片")};
    app::ListMenu menu = app::BuildListMenu(true, folders);
    std::vector<unsigned> ids;
    for (const app::MenuEntry& entry : menu.entries) ids.push_back(entry.id);
    EXPECT_EQ(ids, (std::vector<unsigned>{1, 2, 3, 4, 5, 6, 7, 8}));
    const app::MenuEntry& move = menu.entries[2];
    EXPECT_EQ(move.text, "移动到 =>");
    EXPECT_TRUE(move.enabled);
    ASSERT_EQ(move.submenu.size(), 2u);
    EXPECT_EQ(move.submenu[0].text, "A&&B") << "an ampersand is shown, not taken as a key";
    EXPECT_EQ(move.submenu[1].id, app::kFirstMoveCommand + 1);
    EXPECT_EQ(app::MoveTargetFor(menu, app::kFirstMoveCommand + 1), "70000");
    EXPECT_EQ(app::MoveTargetFor(menu, app::kFirstMoveCommand + 2), std::nullopt);
    EXPECT_EQ(app::MoveTargetFor(menu, app::CmdDeleteRows), std::nullopt);

    const app::FolderList nested = {{"70001", "2026", "", "", "70000"}, folder("70000", "照片")};
    EXPECT_EQ(app::BuildListMenu(true, nested).entries[2].submenu[1].text, "照片/2026") << "after its parent, by path";
    app::ListMenu none = app::BuildListMenu(true, {folder("1", "收件箱")});
    EXPECT_FALSE(none.entries[2].enabled) << "greyed without a folder to move to";
    app::FolderList many;
    for (int i = 0; i < 100; ++i) many.push_back(folder(std::to_string(65550 + i).c_str(), "f"));
    EXPECT_EQ(app::MoveTargetFor(app::BuildListMenu(true, many), app::kLastMoveCommand), "65649");
}

TEST(Layout, FourFifthsOfAn800WideScreenThreeQuartersOfOthers) {
    for (auto [w, h, x, y, width, height] : {std::array{800, 600, 80, 60, 640, 480},
                                             {1024, 768, 128, 96, 768, 576},
                                             {1280, 1024, 160, 128, 960, 768},
                                             {801, 601, 100, 75, 600, 450}}) {
        app::Bounds b = app::MainWindowBounds(w, h);
        EXPECT_EQ((std::array{b.x, b.y, b.width, b.height}), (std::array{x, y, width, height})) << w;
    }
}

TEST(Layout, TheTransferWindowOpensWhollyOnTheScreen) {
    const app::Bounds xga{0, 0, 1024, 738}, small{0, 0, 640, 450};  // less the taskbar
    // Centred, maximised, mostly off the bottom right, off the top left; a screen narrower than it.
    for (auto [main, work, want] : {std::tuple{app::Bounds{128, 96, 768, 576}, xga, std::array{234, 412, 790, 250}},
                                    {{-8, -8, 1040, 754}, xga, {112, 486, 790, 250}},
                                    {{700, 600, 768, 576}, xga, {234, 488, 790, 250}},
                                    {{-500, -400, 768, 576}, xga, {0, 0, 790, 250}},
                                    {{0, 0, 640, 480}, small, {0, 200, 640, 250}}}) {
        app::Bounds b = app::TransferWindowBounds(main, work);
        EXPECT_EQ((std::array{b.x, b.y, b.width, b.height}), want) << main.x;
    }
}

bool Overlap(const app::Bounds& a, const app::Bounds& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TEST(Layout, NothingOverlapsFromTheSmallestWindowToAMaximisedOne) {
    for (auto [w, h] : {std::array{app::kMinClientWidth, app::kMinClientHeight}, {784, 561}, {1920, 1040}}) {
        app::CaptionBounds caption = app::CaptionLayout(w);
        app::ListHeaderBounds header = app::ListHeaderLayout(w);
        // clang-format off
        const std::vector<std::pair<const char*, app::Bounds>> shown = {
            {"title", caption.title},          {"file", caption.menus[0]},        {"help", caption.menus[4]},
            {"minimise", caption.minimise},    {"maximise", caption.maximise},    {"close", caption.close},
            {"tree", app::FolderTreeBounds(w, h)}, {"list", app::MessageListBounds(w, h)},
            {"status", app::StatusLabelBounds(w, h)}, {"space", app::SpaceLabelBounds(w, h)},
            {"folder title", header.title},    {"search", header.searchBox},      {"search caption", header.searchCaption},
            {"previous", header.previousPage}, {"next", header.nextPage}};
        // clang-format on
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const app::Bounds& a = shown[i].second;
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.x + a.width <= w && a.y + a.height <= h && a.width > 0)
                << shown[i].first << " inside " << w << "x" << h;
            for (std::size_t j = i + 1; j < shown.size(); ++j)
                EXPECT_FALSE(Overlap(a, shown[j].second)) << shown[i].first << " / " << shown[j].first << " at " << w;
        }
        EXPECT_GE(header.title.width, 200) << "room for \"工作文档 (8 个文件, 1.2 GB)\" at " << w;
    }
}

TEST(NoticeLink, TheBrowserRunsHttpLinksThatFit) {
    EXPECT_EQ(app::BrowserPathFromCommand(L"\"C:\\Web Browser\\b.exe\" -osint -url \"%1\""), L"C:\\Web Browser\\b.exe");
    EXPECT_EQ(app::BrowserPathFromCommand(L"C:\\b.exe %1"), L"C:\\b.exe");
    EXPECT_EQ(app::BrowserPathFromCommand(L"b.exe"), L"b.exe");
    EXPECT_EQ(app::BrowserCommandLine(L"b.exe", L"HTTP://x.example/"), L"b.exe HTTP://x.example/");
    EXPECT_EQ(app::BrowserCommandLine(L"b.exe", L"https://x.example/"), L"");
    EXPECT_EQ(app::BrowserCommandLine(L"b.exe", L"http:/"), L"");
    EXPECT_EQ(app::BrowserCommandLine(L"b.exe", L"http://" + std::wstring(251, L'x')), L"") << "260 would not fit";
    EXPECT_EQ(app::BrowserCommandLine(L"b.exe", L"http://" + std::wstring(245, L'x')).size(), 258u);
}

session::Endpoint Local(std::uint16_t port) {
    return session::Endpoint{"notice.example", "127.0.0.1", port};
}

TEST(NoticeFetch, TheFirstAddressThatAcceptsAnswersWithABody) {
    testsupport::FaultServer server;
    server.PushAnswer("HTTP/1.1 200 OK\r\nX: y\r\n\r\n\xEF\xBB\xBF公告 http://a.example/");
    std::uint16_t closed = testsupport::FaultServer().Port();
    std::string body;
    EXPECT_EQ(app::FetchNotice({Local(closed), Local(closed), Local(closed), Local(server.Port())}, {}, body),
              session::Status::Ok);
    EXPECT_EQ(app::NoticeTextFromBody(body), "公告 http://a.example/") << "without the byte order mark";
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "GET /pubinfo/Vantlo HTTP/1.1\r\nAccept: */*\r\nHost: notice.example\r\n"
              "Content-Type: application/xml\r\nUser-Agent: Vantlo 1.1.10\r\nConnection: close\r\n\r\n");

    EXPECT_EQ(app::FetchNotice({Local(closed)}, {}, body), session::Status::ConnectFailed);
    EXPECT_EQ(body, "");
    testsupport::FaultServer blank;
    blank.PushAnswer("HTTP/1.1 200 OK\r\nno blank line");
    EXPECT_EQ(app::FetchNotice({Local(blank.Port())}, {}, body), session::Status::Incomplete) << "cut in its header";
}

// IMAP stores name folders by their names; the windows get numbers that
// never change meaning, and a name that looks like a number is not one.
TEST(FolderIds, ImapNamesGetNumbersWebmailIdsPassThrough) {
    app::FolderIds imap("");
    const std::vector<catalog::FolderInfo> listed = {{"Inbox", "Inbox", 5, 1, 0, true},
                                                     {"Sent", "Sent", 0, 0, 0, true},
                                                     {"Trash", "Trash", 0, 0, 0, true},
                                                     {"4", "4", 2, 0, 0, false},
                                                     {"Files/2026", "Files/2026", 9, 0, 0, false}};
    app::FolderList shown = imap.Show(listed);
    const std::pair<const char*, const char*> expected[] = {
        {"1", "Inbox"}, {"2", "Sent"}, {"3", "Trash"}, {"65550", "4"}, {"65551", "Files/2026"}};
    ASSERT_EQ(shown.size(), 5u);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i].id, expected[i].first) << expected[i].second;
        EXPECT_EQ(imap.StoreId(shown[i].id), expected[i].second);
    }
    EXPECT_EQ(shown[0].messageCount, "5");
    EXPECT_EQ(imap.ViewId("New"), "65552") << "a folder just made";
    imap.Show({listed[4], listed[0], {"Archive", "Archive", 0, 0, 0, true}});
    EXPECT_EQ(imap.ViewId("Archive"), "5") << "fixed folders skip the webmail trash's number";
    EXPECT_EQ(imap.ViewId("Files/2026"), "65551") << "a folder keeps its number when the list changes";
    EXPECT_EQ(imap.StoreId("4"), "") << "no folder has the trash's webmail number";
    EXPECT_EQ(imap.StoreId("Files/2026"), "") << "a name is not a number";
    app::FolderIds nested("");
    app::FolderList child = nested.Show({{"Sent/a", "a", 0, 0, 0, false, "Sent"}, {"Sent", "Sent", 0, 0, 0, true}});
    EXPECT_EQ(child[0].parentId, "2") << "a fixed parent listed after its child keeps a fixed number";

    app::FolderIds webmail("1");
    EXPECT_EQ(webmail.Show({{"65560", "甲", 3, 1, 0, false}})[0].id, "65560");
    EXPECT_EQ(webmail.StoreId("65560"), "65560");
}

TEST(AccountKinds, TheAccountBoxNamesAWebmailOrAnImapAccount) {
    const struct {
        const char* typed;
        app::AccountKind kind;
        const char* url;  // nullptr: no IMAP account
        const char* user;
    } cases[] = {
        {"demo@163.example", app::AccountKind::Webmail, nullptr, ""},
        {"imaps://me@127.0.0.1:993", app::AccountKind::Imap, "imaps://127.0.0.1:993", "me"},
        {"imap://me@mail.example@localhost:143", app::AccountKind::Imap, "imap://localhost:143", "me@mail.example"},
        {"imaps://me@host", app::AccountKind::Imap, nullptr, ""},         // no port
        {"imaps://@host:993", app::AccountKind::Imap, nullptr, ""},       // no user
        {"imaps://me@host:99999", app::AccountKind::Imap, nullptr, ""},   // no such port
        {"imaps://me@ho/st:993", app::AccountKind::Imap, nullptr, ""},    // no such host
        {"imaps://me@host:993/x", app::AccountKind::Imap, nullptr, ""},   // more after the port
        {"IMAPS://me@host:993", app::AccountKind::Webmail, nullptr, ""},  // schemes as written
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::KindOf(c.typed), c.kind) << c.typed;
        std::optional<app::ImapAccount> imap = app::ReadImapAccount(c.typed);
        ASSERT_EQ(imap.has_value(), c.url != nullptr) << c.typed;
        if (imap) {
            EXPECT_EQ(imap->url, c.url);
            EXPECT_EQ(imap->user, c.user);
        }
    }
}

}  // namespace
