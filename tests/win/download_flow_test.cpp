// "下载附件": the first selected row's attachment travels into the file the
// save dialog names, on the download worker. Against the real provider.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "messagelist/list_menu.h"
#include "messagelist/progress_timer.h"
#include "messagelist/row_commands.h"
#include "messagelist/transfer_book.h"
#include "messagelist/transfer_status.h"
#include "platform/ui_seams.h"
#include "session/message_moves.h"
#include "transfer_fixture.h"
#include "ui_recorders.h"

namespace {

using namespace messagelist;
using wintest::Joined;
using wintest::PumpMessages;

// A save dialog that waits, on the download worker, until the test lets it
// answer; meanwhile the test changes the list or the provider.
class HeldSaveDialog {
public:
    explicit HeldSaveDialog(std::wstring answer) : answer_(std::move(answer)) {
        release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        opened_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        previous_ = ui::SetFileDialogHook([this](const ui::FileDialogRequest&) -> std::optional<std::wstring> {
            SetEvent(opened_);
            if (WaitForSingleObject(release_, 30000) != WAIT_OBJECT_0) return std::nullopt;
            return answer_;
        });
    }
    ~HeldSaveDialog() {
        Release();
        ui::SetFileDialogHook(std::move(previous_));
        CloseHandle(release_);
        CloseHandle(opened_);
    }
    HeldSaveDialog(const HeldSaveDialog&) = delete;
    HeldSaveDialog& operator=(const HeldSaveDialog&) = delete;

    bool Opened() const { return WaitForSingleObject(opened_, 0) == WAIT_OBJECT_0; }
    void Release() { SetEvent(release_); }

private:
    std::wstring answer_;
    HANDLE release_;
    HANDLE opened_;
    ui::FileDialogHook previous_;
};

class DownloadFlow : public wintest::TransferWindowTest {
protected:
    const char* Account() const override { return "second@126.example"; }
    const char* Password() const override { return "second-pass"; }

    struct StoredFile {
        std::wstring name;
        std::string bytes;
    };

    StoredFile Store(const std::wstring& stem, std::size_t size, unsigned seed, const std::string& folder) {
        StoredFile file{wintest::UniqueName(stem, L".bin"), wintest::PatternBytes(size, seed)};
        StoreFile(file.name, file.bytes, folder);
        return file;
    }

    bool DownloadEnded() {
        return PumpUntil([] { return WorkersEnded() && TransfersSettled(ui::TheSession()) && !ProgressTimerRunning(); },
                         30000);
    }
};

TEST_F(DownloadFlow, SavesTheFirstSelectedRowsAttachmentWhateverIsChecked) {
    const std::string folder = MakeFolder("下载");
    const StoredFile older = Store(L"older", 300000, 1, folder);
    const StoredFile newer = Store(L"newer", 2 * 1048576 + 17, 2, folder);
    const StoredFile checked = Store(L"checked", 1000, 3, folder);
    OpenMainWindow();
    OpenFolder(folder);
    const int first = ItemOf(newer.name);
    const int second = ItemOf(older.name);
    ASSERT_GE(first, 0);
    ASSERT_GT(second, first) << "newest first";
    Select(second);
    Select(first);
    Check(ItemOf(checked.name));

    const std::wstring target = wintest::ScratchPath(wintest::UniqueName(L"saved", L".bin"));
    wintest::FileDialogRecorder dialogs({target});
    Command(CmdDownloadAttachment);
    ASSERT_TRUE(DownloadEnded()) << Joined(StatusTexts());
    EXPECT_EQ(wintest::ReadBytes(target), newer.bytes) << "the first selected row, not the checked one";
    EXPECT_EQ(StatusTexts().back(), kAllDoneText) << Joined(StatusTexts());

    ASSERT_EQ(dialogs.Requests().size(), 1u);
    const ui::FileDialogRequest& request = dialogs.Requests()[0];
    EXPECT_EQ(request.kind, ui::FileDialogKind::Save);
    EXPECT_EQ(request.owner, List());
    EXPECT_EQ(request.proposedName, newer.name);
    EXPECT_EQ(request.flags & (OFN_HIDEREADONLY | OFN_PATHMUSTEXIST), DWORD(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST));
    EXPECT_EQ(request.flags & OFN_FILEMUSTEXIST, 0u) << "a download may go to a new file";
    EXPECT_EQ(ui::TheSession().downloadTotal.load(), 0);
}

TEST_F(DownloadFlow, FetchesTheMessageChosenWhenTheCommandWasGiven) {
    const std::string folder = MakeFolder("下载时刷新");
    const StoredFile chosen = Store(L"chosen", 40000, 4, folder);
    OpenMainWindow();
    OpenFolder(folder);
    ASSERT_EQ(ItemOf(chosen.name), 0);
    Select(0);

    const std::wstring target = wintest::ScratchPath(wintest::UniqueName(L"saved", L".bin"));
    HeldSaveDialog dialog(target);
    Command(CmdDownloadAttachment);
    ASSERT_TRUE(PumpUntil([&] { return dialog.Opened(); }, 10000));
    // While the dialog is open a newer file arrives and the list is refilled:
    // row 0 is now another message.
    const StoredFile newcomer = Store(L"newcomer", 50000, 5, folder);
    ReloadOpenFolder();
    ASSERT_EQ(ItemOf(newcomer.name), 0);
    dialog.Release();
    ASSERT_TRUE(DownloadEnded()) << Joined(StatusTexts());
    EXPECT_EQ(wintest::ReadBytes(target), chosen.bytes);
}

TEST_F(DownloadFlow, CancellingTheDialogGivesTheDownloadUp) {
    const std::string folder = MakeFolder("放弃下载");
    const StoredFile file = Store(L"kept", 70000, 6, folder);
    OpenMainWindow();
    OpenFolder(folder);
    Select(ItemOf(file.name));
    {
        wintest::FileDialogRecorder dialogs({std::nullopt});
        Command(CmdDownloadAttachment);
        ASSERT_TRUE(PumpUntil([&] { return SawStatus(kDownloadCancelledText) && WorkersEnded(); }, 10000));
        EXPECT_EQ(dialogs.Requests().size(), 1u);
    }
    EXPECT_FALSE(ProgressTimerRunning()) << "stopped by the cancel, on the user-interface thread";
    EXPECT_EQ(ui::TheSession().downloadTotal.load(), 0) << "the pending mark is gone";
    EXPECT_TRUE(DownloadSlotFree(ui::TheSession()));
    PumpMessages(500);
    EXPECT_EQ(StatusTexts().back(), kDownloadCancelledText) << Joined(StatusTexts());
    EXPECT_FALSE(SawStatus(kAllDoneText));

    // A later download runs as usual and ends with the usual text.
    const std::wstring target = wintest::ScratchPath(wintest::UniqueName(L"saved", L".bin"));
    wintest::FileDialogRecorder dialogs({target});
    Command(CmdDownloadAttachment);
    ASSERT_TRUE(DownloadEnded());
    EXPECT_EQ(wintest::ReadBytes(target), file.bytes);
    EXPECT_EQ(StatusTexts().back(), kAllDoneText) << Joined(StatusTexts());
}

TEST_F(DownloadFlow, ARowWithoutAttachmentOrWithoutSelectionStartsNothing) {
    const std::string folder = MakeFolder("没有附件");
    StoreNote("只有文字的邮件", folder);
    OpenMainWindow();
    OpenFolder(folder);
    const int note = ItemOf(L"只有文字的邮件");
    ASSERT_GE(note, 0);
    EXPECT_EQ(Title(note), L"   只有文字的邮件") << "no attachment mark";

    wintest::MessageRecorder boxes;
    Command(CmdDownloadAttachment);  // nothing selected
    EXPECT_TRUE(boxes.Messages().empty());
    Select(note);
    Command(CmdDownloadAttachment);
    ASSERT_EQ(boxes.Messages().size(), 1u);
    EXPECT_EQ(boxes.Messages()[0].text, kNoAttachmentText);
    EXPECT_EQ(boxes.Messages()[0].caption, kNoticeCaption);
    EXPECT_EQ(boxes.Messages()[0].owner, MainWindowHandle());
    EXPECT_FALSE(ProgressTimerRunning());
    EXPECT_TRUE(DownloadSlotFree(ui::TheSession()));
}

TEST_F(DownloadFlow, ASecondDownloadWaitsWhileTheFirstsDialogIsOpen) {
    const std::string folder = MakeFolder("一次一个下载");
    const StoredFile file = Store(L"one", 30000, 7, folder);
    OpenMainWindow();
    OpenFolder(folder);
    Select(ItemOf(file.name));
    const std::wstring target = wintest::ScratchPath(wintest::UniqueName(L"saved", L".bin"));
    HeldSaveDialog dialog(target);
    Command(CmdDownloadAttachment);
    ASSERT_TRUE(PumpUntil([&] { return dialog.Opened(); }, 10000));
    {
        wintest::MessageRecorder boxes;
        Command(CmdDownloadAttachment);
        ASSERT_EQ(boxes.Messages().size(), 1u);
        EXPECT_EQ(boxes.Messages()[0].text, kDownloadBusyText);
        EXPECT_EQ(boxes.Messages()[0].caption, kDownloadBusyCaption);
    }
    dialog.Release();
    ASSERT_TRUE(DownloadEnded());
    EXPECT_EQ(wintest::ReadBytes(target), file.bytes);
}

TEST_F(DownloadFlow, AFailedDownloadSaysSoAndKeepsTheTarget) {
    const std::string folder = MakeFolder("下载失败");
    const StoredFile file = Store(L"vanishing", 20000, 8, folder);
    OpenMainWindow();
    OpenFolder(folder);
    Select(ItemOf(file.name));
    const std::wstring target = wintest::ScratchPath(wintest::UniqueName(L"kept", L".bin"));
    ASSERT_TRUE(wintest::WriteBytes(target, "what was there before"));
    HeldSaveDialog dialog(target);
    Command(CmdDownloadAttachment);
    ASSERT_TRUE(PumpUntil([&] { return dialog.Opened(); }, 10000));
    // The message goes away while the user picks the file.
    std::vector<std::string> ids = Subjects(folder, platform::WideToUtf8(file.name));
    ASSERT_EQ(ids.size(), 1u);
    ASSERT_EQ(session::DeleteMessages(checker_, session::MessageIdQueue(ids.begin(), ids.end())), session::Status::Ok);
    dialog.Release();
    ASSERT_TRUE(DownloadEnded()) << Joined(StatusTexts());
    PumpMessages(500);
    EXPECT_EQ(StatusTexts().back(), DownloadFailedText(session::Status::Refused)) << Joined(StatusTexts());
    EXPECT_FALSE(SawStatus(kAllDoneText));
    EXPECT_EQ(wintest::ReadBytes(target), "what was there before");
}

}  // namespace
