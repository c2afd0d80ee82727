// The list's context menu as a right click shows it, and its commands that
// change the open folder: deleting and moving the checked rows, or else the
// selected ones, and uploading a file chosen in the open dialog. Against
// the real vantlo-provider.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mainwindow/status_label.h"
#include "messagelist/list_menu.h"
#include "messagelist/progress_timer.h"
#include "messagelist/transfer_status.h"
#include "messagelist/upload_worker.h"
#include "transfer_fixture.h"
#include "ui_recorders.h"

namespace {

using namespace messagelist;
using wintest::InOrder;
using wintest::Joined;
using wintest::PumpMessages;

const std::vector<std::pair<UINT, std::wstring>> kFullMenu = {
    {1, L"下载邮件"}, {2, L"下载附件"}, {3, L"移动到 =>"}, {4, L"删除选择行"},
    {5, L"上传文件"}, {6, L"只看附件"}, {7, L"下一页"},    {8, L"属性"},
};

class ListCommandsFlow : public wintest::TransferWindowTest {
protected:
    const char* Account() const override { return "demo@163.example"; }
    const char* Password() const override { return "vantlo-demo"; }

    // A folder of the test's own with three small files, stored in the
    // order a, b, c (so c is listed first).
    std::string FolderWithThreeFiles(const std::string& name, std::vector<std::wstring>& files) {
        std::string id = MakeFolder(name);
        files.clear();
        for (const wchar_t* stem : {L"a", L"b", L"c"}) {
            files.push_back(wintest::UniqueName(stem, L".txt"));
            StoreFile(files.back(), "contents of " + platform::WideToUtf8(files.back()), id);
        }
        return id;
    }

    std::vector<std::string> SortedSubjects(const std::string& folder) {
        std::vector<std::string> subjects = AllSubjects(folder);
        std::sort(subjects.begin(), subjects.end());
        return subjects;
    }

    static std::vector<std::string> Utf8(std::vector<std::wstring> names) {
        std::vector<std::string> out;
        for (const std::wstring& name : names) out.push_back(platform::WideToUtf8(name));
        std::sort(out.begin(), out.end());
        return out;
    }

    // The command the right-click menu gives the folder named `name`.
    UINT MoveCommandFor(const std::vector<ShownEntry>& menu, const std::wstring& name) {
        for (const ShownEntry& entry : menu)
            for (const ShownEntry& folder : entry.submenu)
                if (folder.text == name) return folder.id;
        return 0;
    }
};

TEST_F(ListCommandsFlow, ARightClickOffersTheFullMenuWithTheFoldersAboveTheCommandRange) {
    std::vector<std::wstring> files;
    const std::string source = FolderWithThreeFiles("菜单来源", files);
    const std::string target = MakeFolder("菜单目标");
    OpenMainWindow();
    OpenFolder(source);
    ASSERT_EQ(ItemCount(), 3);

    ClearSelection();
    std::vector<ShownEntry> bare = RightClickMenu();
    ASSERT_EQ(bare.size(), 1u) << "without a selection only the upload is offered";
    EXPECT_EQ(bare[0].id, 5u);
    EXPECT_EQ(bare[0].text, L"上传文件");

    Select(1);
    std::vector<ShownEntry> menu = RightClickMenu();
    ASSERT_EQ(menu.size(), kFullMenu.size());
    for (std::size_t i = 0; i < menu.size(); ++i) {
        EXPECT_EQ(menu[i].id, kFullMenu[i].first) << i;
        EXPECT_EQ(menu[i].text, kFullMenu[i].second) << i;
        EXPECT_FALSE(menu[i].greyed) << i;
    }
    const std::vector<ShownEntry>& folders = menu[2].submenu;
    std::vector<std::wstring> names;
    for (const ShownEntry& folder : folders) {
        names.push_back(folder.text);
        EXPECT_LE(folder.id, 0xFFFFu);
        EXPECT_GT(folder.id, 8u);
    }
    EXPECT_NE(std::find(names.begin(), names.end(), L"菜单来源"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), L"菜单目标"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), L"收件箱"), names.end()) << "system folders are no targets";
    EXPECT_EQ(ShownMoveTargets().FolderFor(MoveCommandFor(menu, L"菜单目标")), target);

    // The commands that do nothing change nothing.
    for (UINT idle : {CmdDownloadMail, CmdAttachmentsOnly, CmdNextPage, CmdProperties, CmdMoveTo}) Command(idle);
    EXPECT_EQ(SortedSubjects(source), Utf8(files));
    EXPECT_TRUE(AllSubjects(target).empty());
    EXPECT_TRUE(StatusTexts().empty()) << Joined(StatusTexts());
}

TEST_F(ListCommandsFlow, DeleteTakesTheCheckedRowsOverTheSelectionThenTheSelection) {
    std::vector<std::wstring> files;
    const std::string folder = FolderWithThreeFiles("删除", files);
    OpenMainWindow();
    OpenFolder(folder);
    Check(ItemOf(files[1]));
    Select(ItemOf(files[2]));
    Command(CmdDeleteRows);
    EXPECT_TRUE(InOrder(StatusTexts(), {kDeletingText, mainwindow::kReadyText})) << Joined(StatusTexts());
    EXPECT_EQ(SortedSubjects(folder), Utf8({files[0], files[2]})) << "only the checked row went";
    EXPECT_EQ(ItemCount(), 2) << "the list was reloaded";

    Select(ItemOf(files[2]));
    Command(CmdDeleteRows);
    EXPECT_EQ(SortedSubjects(folder), Utf8({files[0]}));
    EXPECT_EQ(ItemCount(), 1);
    EXPECT_EQ(ItemOf(files[0]), 0);
    EXPECT_EQ(StatusTexts().back(), mainwindow::kReadyText);
}

TEST_F(ListCommandsFlow, MovesCheckedRowsToAFolderWhoseIdNoCommandCouldCarry) {
    std::vector<std::wstring> files;
    const std::string source = FolderWithThreeFiles("移动来源", files);
    const std::string target = MakeFolder("移动目标");
    ASSERT_GT(std::stoull(target), 65535u);
    OpenMainWindow();
    OpenFolder(source);
    Check(ItemOf(files[0]));
    Check(ItemOf(files[2]));
    Select(ItemOf(files[1]));
    const UINT command = MoveCommandFor(RightClickMenu(), L"移动目标");
    ASSERT_NE(command, 0u);
    Command(command);
    EXPECT_TRUE(InOrder(StatusTexts(), {kMovingText, kMoveDoneText})) << Joined(StatusTexts());
    EXPECT_EQ(SortedSubjects(target), Utf8({files[0], files[2]}));
    EXPECT_EQ(SortedSubjects(source), Utf8({files[1]}));
    EXPECT_EQ(ItemCount(), 1);

    // Merely selected rows move without a status text.
    recorder_->Clear();
    Select(ItemOf(files[1]));
    Command(command);
    EXPECT_EQ(SortedSubjects(target), Utf8(files));
    EXPECT_TRUE(AllSubjects(source).empty());
    EXPECT_EQ(ItemCount(), 0);
    EXPECT_TRUE(StatusTexts().empty()) << Joined(StatusTexts());
}

TEST_F(ListCommandsFlow, UploadsTheFileChosenInTheOpenDialog) {
    TheUploadPacing().fetchNoticeDelayMs = 500;
    const std::string folder = MakeFolder("打开对话框");
    OpenMainWindow();
    OpenFolder(folder);
    const std::wstring name = wintest::UniqueName(L"chosen", L".bin");
    const std::wstring path = wintest::ScratchPath(name);
    ASSERT_TRUE(wintest::WriteBytes(path, wintest::PatternBytes(100000, 3)));
    {
        wintest::FileDialogRecorder dialogs({std::nullopt});
        Command(CmdUploadFile);
        ASSERT_EQ(dialogs.Requests().size(), 1u);
        EXPECT_EQ(StatusTexts().back(), kUploadCancelledText);
        EXPECT_FALSE(ProgressTimerRunning());
    }
    wintest::FileDialogRecorder dialogs({path});
    Command(CmdUploadFile);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    const ui::FileDialogRequest& request = dialogs.Requests()[0];
    EXPECT_EQ(request.kind, ui::FileDialogKind::Open);
    EXPECT_EQ(request.owner, List());
    EXPECT_EQ(request.flags, DWORD(OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST));
    EXPECT_EQ(request.filterIndex, 1u);
    EXPECT_TRUE(request.proposedName.empty());
    ASSERT_TRUE(PumpUntil([&] { return SawStatus(kUploadDoneText) && ItemOf(name) >= 0; }, 60000))
        << Joined(StatusTexts());
    EXPECT_EQ(Subjects(folder, platform::WideToUtf8(name)).size(), 1u);
}

TEST_F(ListCommandsFlow, AnUploadCommandWhileAnUploadRunsMeetsTheBusyBox) {
    const std::string folder = MakeFolder("忙");
    OpenMainWindow();
    OpenFolder(folder);
    const std::wstring path = wintest::ScratchPath(wintest::UniqueName(L"busy", L".bin"));
    ASSERT_TRUE(wintest::WriteBytes(path, wintest::PatternBytes(20000, 4)));
    TheUploadPacing().fetchNoticeDelayMs = 200;
    Drop({path});
    wintest::MessageRecorder boxes;
    Command(CmdUploadFile);  // the strict dialog hook fails the test if a dialog opened
    ASSERT_EQ(boxes.Messages().size(), 1u);
    EXPECT_EQ(boxes.Messages()[0].text, kUploadBusyText);
    EXPECT_EQ(boxes.Messages()[0].caption, kUploadBusyCaption);
    ASSERT_TRUE(PumpUntil([&] { return SawStatus(kUploadDoneText) && WorkersEnded(); }, 60000));
}

class NoMovableFoldersFlow : public wintest::TransferWindowTest {
protected:
    const char* Account() const override { return "third@yeah.example"; }
    const char* Password() const override { return "third-pass"; }
};

TEST_F(NoMovableFoldersFlow, TheMoveEntryIsGreyedWithAnEmptySubmenu) {
    StoreNote("一封信", "1");
    OpenMainWindow();
    OpenFolder("1");
    ASSERT_GE(ItemCount(), 1);
    Select(0);
    std::vector<ShownEntry> menu = RightClickMenu();
    ASSERT_EQ(menu.size(), kFullMenu.size());
    EXPECT_EQ(menu[2].text, L"移动到 =>");
    EXPECT_TRUE(menu[2].greyed);
    EXPECT_TRUE(menu[2].submenu.empty());
    for (std::size_t i = 0; i < menu.size(); ++i) {
        if (i != 2) {
            EXPECT_FALSE(menu[i].greyed) << i;
        }
    }
}

}  // namespace
