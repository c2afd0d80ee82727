// The seams that let tests stand in for the user: what the program asks
// arrives whole at the hook, the hook's answer comes back, and the previous
// hook returns when a recorder ends.
#include <gtest/gtest.h>

#include "platform/ui_seams.h"
#include "ui_recorders.h"

TEST(UiSeams, MessageBoxesReachTheHookAndTakeItsAnswer) {
    HWND owner = GetDesktopWindow();
    {
        wintest::MessageRecorder messages(IDCANCEL);
        EXPECT_EQ(ui::ShowMessage(owner, L"正文", L"提示", MB_OKCANCEL), IDCANCEL);
        EXPECT_EQ(ui::ShowMessage(nullptr, L"second", L"Error", MB_OK), IDCANCEL);
        ASSERT_EQ(messages.Messages().size(), 2u);
        EXPECT_EQ(messages.Messages()[0].owner, owner);
        EXPECT_EQ(messages.Messages()[0].text, L"正文");
        EXPECT_EQ(messages.Messages()[0].caption, L"提示");
        EXPECT_EQ(messages.Messages()[0].flags, static_cast<UINT>(MB_OKCANCEL));
        EXPECT_EQ(messages.Messages()[1].owner, nullptr);
    }
    // The inner recorder hands back to the outer one when it ends.
    wintest::MessageRecorder outer;
    {
        wintest::MessageRecorder inner;
        ui::ShowMessage(nullptr, L"inner", L"c", MB_OK);
        EXPECT_EQ(inner.Messages().size(), 1u);
    }
    ui::ShowMessage(nullptr, L"outer", L"c", MB_OK);
    ASSERT_EQ(outer.Messages().size(), 1u);
    EXPECT_EQ(outer.Messages()[0].text, L"outer");
}

TEST(UiSeams, FileDialogsReachTheHookAndReturnItsChoice) {
    wintest::FileDialogRecorder dialogs({std::wstring(L"C:\\data\\report.txt"), std::nullopt});
    ui::FileDialogRequest save{ui::FileDialogKind::Save, nullptr, L"附件.zip", OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, 0};
    EXPECT_EQ(ui::AskFileName(save).value_or(L""), L"C:\\data\\report.txt");
    ui::FileDialogRequest open{ui::FileDialogKind::Open, nullptr, L"", OFN_FILEMUSTEXIST, 1};
    EXPECT_FALSE(ui::AskFileName(open).has_value()) << "cancelled";
    ASSERT_EQ(dialogs.Requests().size(), 2u);
    EXPECT_EQ(dialogs.Requests()[0].kind, ui::FileDialogKind::Save);
    EXPECT_EQ(dialogs.Requests()[0].proposedName, L"附件.zip");
    EXPECT_EQ(dialogs.Requests()[0].flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST));
    EXPECT_EQ(dialogs.Requests()[1].kind, ui::FileDialogKind::Open);
    EXPECT_EQ(dialogs.Requests()[1].filterIndex, 1u);
}

TEST(UiSeams, WebPagesReachTheHook) {
    wintest::BrowserRecorder browser;
    ui::OpenWebPage(nullptr, "http://forum.vantlo.example/");
    ASSERT_EQ(browser.Pages().size(), 1u);
    EXPECT_EQ(browser.Pages()[0].address, "http://forum.vantlo.example/");
}
