// The texts of the transfers: the proposed file name of a download, the
// progress line, the failure texts, and the attachment test of a row.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "mainwindow/status_label.h"
#include "messagelist/download_worker.h"
#include "messagelist/progress_timer.h"
#include "messagelist/transfer_commands.h"
#include "messagelist/transfer_status.h"
#include "platform/text.h"

using namespace messagelist;

namespace {

TEST(ProposedFileName, ReplacesTheNineCharactersThatNoFileNameTakes) {
    struct Case {
        const char* subject;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {"notes/plan:final?.txt", L"notes-plan-final-.txt"},
        {"a\\b/c?d<e>f|g:h\"i*j", L"a-b-c-d-e-f-g-h-i-j"},
        {"会议纪要 2026-01-05.txt", L"会议纪要 2026-01-05.txt"},
        {"O'Brien's notes & draft.txt", L"O'Brien's notes & draft.txt"},
        {"", L""},
        {"**", L"--"},
    };
    for (const Case& c : cases) EXPECT_EQ(ProposedFileName(c.subject), c.expected) << c.subject;
}

TEST(ProposedFileName, IsCutToWhatTheDialogsNameFieldHolds) {
    std::string longSubject(300, 'x');
    EXPECT_EQ(ProposedFileName(longSubject), std::wstring(259, L'x'));

    // A character outside the basic plane must not be split at the cut.
    std::string pairAtTheCut = std::string(258, 'y') + "\xF0\x9F\x98\x80" + "zz";
    std::wstring cut = ProposedFileName(pairAtTheCut);
    EXPECT_EQ(cut, std::wstring(258, L'y'));

    std::string pairBeforeTheCut = std::string(257, 'y') + "\xF0\x9F\x98\x80" + "zz";
    EXPECT_EQ(ProposedFileName(pairBeforeTheCut).size(), 259u);
}

TEST(ProgressText, ShowsTheRunningTransfersOnly) {
    struct Case {
        TransferCounts counts;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {{false, 0, 0, false, 0, 0}, L""},
        {{true, 40960, 1048576, false, 0, 0}, L"上传:40960/1048576"},
        {{false, 0, 0, true, 2048, 5000}, L"下载:2048/5000"},
        {{true, 40960, 1048576, true, 2048, 5000}, L"上传:40960/1048576 下载:2048/5000"},
        {{true, 0, 0, false, 7, 9}, L"上传:0/0"},
        {{false, 0, 0, true, 2147483647, 2147483647}, L"下载:2147483647/2147483647"},
        // Counts left behind by an idle transfer are not shown.
        {{false, 5, 10, false, 0, kDownloadPendingMark}, L""},
    };
    for (const Case& c : cases) EXPECT_EQ(ProgressText(c.counts), c.expected);
}

TEST(ProgressText, ReadsTheSessionsTransferFields) {
    session::Session session;
    session.uploadIdle = 0;
    session.uploadSent = 10;
    session.uploadTotal = 20;
    session.downloadTotal = kDownloadPendingMark;
    TransferCounts counts = ReadTransferCounts(session);
    EXPECT_TRUE(counts.uploading);
    EXPECT_FALSE(counts.downloading);
    EXPECT_EQ(ProgressText(counts), L"上传:10/20");
    EXPECT_EQ(counts.downloadTotal, kDownloadPendingMark);
}

TEST(TransferStatusTexts, EveryFailureSaysWhatWentWrongAndNeverSuccess) {
    using session::Status;
    const Status failures[] = {
        Status::FileError,         Status::ConnectFailed,  Status::ReceiveWaitFailed,
        Status::ConnectWaitFailed, Status::SendWaitFailed, Status::ConnectIndeterminate,
        Status::TimedOut,          Status::SendFailed,     Status::RequestTooLarge,
        Status::HostUnresolved,    Status::Refused,        Status::Incomplete,
        Status::FileTooLarge,      Status::NotFound,
    };
    const std::set<std::wstring> successTexts = {kAllDoneText, kUploadDoneText, mainwindow::kReadyText};
    for (Status status : failures) {
        std::wstring upload = UploadFailedText(status);
        std::wstring download = DownloadFailedText(status);
        EXPECT_EQ(upload.rfind(L"上传失败: ", 0), 0u) << static_cast<int>(status);
        EXPECT_EQ(download.rfind(L"下载失败: ", 0), 0u) << static_cast<int>(status);
        EXPECT_GT(upload.size(), std::wstring(L"上传失败: ").size()) << "a reason follows";
        EXPECT_EQ(successTexts.count(upload), 0u);
        EXPECT_EQ(successTexts.count(download), 0u);
    }
    EXPECT_EQ(UploadFailedText(Status::NotFound), L"上传失败: 邮件没有出现在收件箱中");
    EXPECT_NE(FailureReason(Status::FileError, false), FailureReason(Status::FileError, true))
        << "reading and writing a local file fail differently";
}

TEST(TransferStatusTexts, KeepTheTextsTheUserKnows) {
    EXPECT_EQ(platform::WideToUtf8(kDeletingText), "请稍后...\xE3\x80\x80正在删除邮件") << "an ideographic space";
    EXPECT_EQ(platform::WideToUtf8(kMovingText), "请稍后...\xE3\x80\x80正在移动选择的邮件");
    EXPECT_EQ(std::wstring(kFetchingUploadText), L"请稍后.... 正在收取并移动文件");
}

TEST(AttachedCell, TrueInAnyLetterCaseCounts) {
    struct Case {
        const char* cell;
        bool attached;
    };
    const Case cases[] = {{"true", true}, {"TRUE", true},   {"True", true}, {"false", false},
                          {"", false},    {"true ", false}, {"tru", false}, {"truex", false}};
    for (const Case& c : cases) EXPECT_EQ(IsAttachedCell(c.cell), c.attached) << '"' << c.cell << '"';
}

}  // namespace
