// Files dropped on the message list travel to the provider on the upload
// worker and land in the folder that was open when they were dropped; the
// status label tells how it went. Against the real vantlo-provider.
//
// (Sockets first: winsock2.h must come before windows.h.)
#include "throttled_proxy.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "messagelist/progress_timer.h"
#include "messagelist/transfer_status.h"
#include "transfer_fixture.h"
#include "ui_recorders.h"

namespace {

using namespace messagelist;
using wintest::InOrder;
using wintest::Joined;
using wintest::PumpMessages;

class UploadFlow : public wintest::TransferWindowTest {
protected:
    const char* Account() const override { return "second@126.example"; }
    const char* Password() const override { return "second-pass"; }

    // A folder of the account's own, opened in the list.
    std::string OpenNewFolder(const std::string& name) {
        std::string id = MakeFolder(name);
        OpenMainWindow();
        OpenFolder(id);
        return id;
    }

    std::wstring WriteFile(const std::wstring& stem, std::size_t size, unsigned seed) {
        std::wstring path = wintest::ScratchPath(wintest::UniqueName(stem, L".bin"));
        EXPECT_TRUE(wintest::WriteBytes(path, wintest::PatternBytes(size, seed)));
        return path;
    }

    static std::string NameOf(const std::wstring& path) {
        return platform::WideToUtf8(path.substr(path.find_last_of(L'\\') + 1));
    }

    bool SawFailure() const {
        for (const std::wstring& text : StatusTexts())
            if (text.rfind(L"上传失败", 0) == 0) return true;
        return false;
    }
};

struct ProgressSample {
    long long sent;
    long long total;
};

// "上传:sent/total" read back; false for any other text.
bool ReadUploadLine(const std::wstring& text, ProgressSample& sample) {
    const std::wstring head = L"上传:";
    if (text.rfind(head, 0) != 0) return false;
    std::size_t slash = text.find(L'/');
    if (slash == std::wstring::npos) return false;
    sample.sent = std::stoll(text.substr(head.size(), slash - head.size()));
    sample.total = std::stoll(text.substr(slash + 1));
    return true;
}

TEST_F(UploadFlow, ADroppedFileLandsInTheOpenFolderWhileASecondDropIsRefused) {
    const std::string folder = OpenNewFolder("拖放目标");
    ASSERT_GE(std::stoull(folder), 65550u) << "a folder id that no menu command could carry";
    // The upload goes through a relay at 4 MB/s: about a second and a half,
    // several ticks of the progress display.
    wintest::ThrottledProxy relay(wintest::ProviderAddress(), 4 * 1048576);
    session::Session& session = ui::TheSession();
    const std::string directHost(session::CellText(session.host));
    session::SetCell(session.host, relay.Address());
    struct HostBack {
        session::Session& session;
        std::string host;
        ~HostBack() { session::SetCell(session.host, host); }
    } hostBack{session, directHost};
    const std::size_t size = 6 * 1048576 + 123;
    const std::wstring path = WriteFile(L"dropped", size, 7);
    const std::wstring refused = WriteFile(L"refused", 1000, 8);

    wintest::MessageRecorder boxes;
    Drop({path});
    Drop({refused});
    ASSERT_EQ(boxes.Messages().size(), 1u) << "the second drop meets the busy box";
    EXPECT_EQ(boxes.Messages()[0].text, kUploadBusyText);
    EXPECT_EQ(boxes.Messages()[0].caption, kUploadBusyCaption);
    EXPECT_EQ(boxes.Messages()[0].owner, MainWindowHandle());
    EXPECT_EQ(boxes.Messages()[0].flags, static_cast<UINT>(MB_OK));

    std::vector<ProgressSample> progress;
    std::wstring lastDrawn;
    ASSERT_TRUE(PumpUntil(
        [&] {
            std::wstring drawn = LastProgressText();
            ProgressSample sample{};
            if (drawn != lastDrawn && ReadUploadLine(drawn, sample)) progress.push_back(sample);
            lastDrawn = drawn;
            return SawStatus(kUploadDoneText) || SawFailure();
        },
        120000))
        << Joined(StatusTexts());
    EXPECT_FALSE(SawFailure()) << Joined(StatusTexts());
    EXPECT_TRUE(InOrder(StatusTexts(), {kAllDoneText, kFetchingUploadText, kUploadDoneText})) << Joined(StatusTexts());

    ASSERT_GE(progress.size(), 2u) << "the progress line was drawn too seldom to move";
    EXPECT_LT(progress.front().sent, progress.back().sent) << "the progress moved";
    for (std::size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].total, static_cast<long long>(size));
        // The count also takes in the request's head and the form's framing.
        EXPECT_LE(progress[i].sent, progress[i].total + 8192);
        if (i > 0) {
            EXPECT_GE(progress[i].sent, progress[i - 1].sent) << "the count only grows";
        }
    }
    std::cout << "progress lines drawn during a " << size << "-byte upload: " << progress.size() << "\n";

    // The list shows the folder again, with the file in it.
    const std::wstring name = platform::Utf8ToWide(NameOf(path));
    ASSERT_TRUE(PumpUntil([&] { return ItemOf(name) >= 0; }, 10000)) << "the list was not reloaded";
    EXPECT_EQ(Title(ItemOf(name)), L"@  " + name);
    EXPECT_EQ(Subjects(folder, NameOf(path)).size(), 1u);
    EXPECT_TRUE(Subjects("1", NameOf(path)).empty()) << "moved out of the inbox";
    EXPECT_TRUE(Subjects("1", NameOf(refused)).empty()) << "the refused drop sent nothing";
    EXPECT_TRUE(Subjects(folder, NameOf(refused)).empty());
}

TEST_F(UploadFlow, TheFolderOpenAtTheDropStaysTheTarget) {
    TheUploadPacing().fetchNoticeDelayMs = 500;
    const std::string other = MakeFolder("后来打开的");
    const std::string target = OpenNewFolder("拖放时打开的");
    const std::wstring path = WriteFile(L"target", 20000, 9);
    Drop({path});
    OpenFolder(other);
    ASSERT_TRUE(PumpUntil([&] { return SawStatus(kUploadDoneText) && WorkersEnded(); }, 60000))
        << Joined(StatusTexts());
    PumpMessages(200);
    EXPECT_EQ(Subjects(target, NameOf(path)).size(), 1u);
    EXPECT_TRUE(Subjects(other, NameOf(path)).empty());
    EXPECT_EQ(mainwindow::CurrentFolderId(), other);
    EXPECT_EQ(ItemOf(platform::Utf8ToWide(NameOf(path))), -1) << "the list shows the folder open now";
}

TEST_F(UploadFlow, AFileThatCannotBeReadEndsWithAFailureText) {
    const std::string folder = OpenNewFolder("读不到的文件");
    const std::wstring path = WriteFile(L"locked", 5000, 10);
    // Held open without sharing: the upload cannot open it.
    HANDLE locked = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    Drop({path});
    ASSERT_TRUE(PumpUntil([&] { return SawFailure() && WorkersEnded(); }, 30000)) << Joined(StatusTexts());
    // The progress display ends without claiming success.
    ASSERT_TRUE(PumpUntil([] { return !ProgressTimerRunning(); }, 2000));
    PumpMessages(500);
    CloseHandle(locked);
    EXPECT_EQ(StatusTexts().back(), UploadFailedText(session::Status::FileError)) << Joined(StatusTexts());
    EXPECT_FALSE(SawStatus(kAllDoneText)) << Joined(StatusTexts());
    EXPECT_FALSE(SawStatus(kUploadDoneText));
    EXPECT_TRUE(UploadSlotFree(ui::TheSession())) << "the next upload may start";
    EXPECT_TRUE(Subjects(folder, NameOf(path)).empty());
}

TEST_F(UploadFlow, AMailThatNeverArrivesEndsWithAFailureText) {
    TheUploadPacing().fetchNoticeDelayMs = 400;
    TheUploadPacing().searchBoundMs = 1500;
    const std::string folder = OpenNewFolder("收不到的邮件");
    const std::wstring path = WriteFile(L"elsewhere", 3000, 11);
    // The mail goes to another account of the provider, so this inbox never
    // sees it.
    session::Session& session = ui::TheSession();
    const std::string ownAddress(session::CellText(session.accountName));
    session::SetCell(session.accountName, "third@yeah.example");
    Drop({path});
    bool ended = PumpUntil([&] { return SawFailure() && WorkersEnded(); }, 30000);
    session::SetCell(session.accountName, ownAddress);
    ASSERT_TRUE(ended) << Joined(StatusTexts());
    PumpMessages(500);
    EXPECT_TRUE(
        InOrder(StatusTexts(), {kAllDoneText, kFetchingUploadText, UploadFailedText(session::Status::NotFound)}))
        << Joined(StatusTexts());
    EXPECT_EQ(StatusTexts().back(), UploadFailedText(session::Status::NotFound));
    EXPECT_FALSE(SawStatus(kUploadDoneText));
    EXPECT_TRUE(Subjects(folder, NameOf(path)).empty());
}

}  // namespace
