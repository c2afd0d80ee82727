// The texts the list commands and the transfers write into the main
// window's status label, and the texts of their message boxes.
#pragma once

#include <string>

#include "session/status.h"

namespace messagelist {

inline constexpr wchar_t kAllDoneText[] = L"操作成功完成";
inline constexpr wchar_t kFetchingUploadText[] = L"请稍后.... 正在收取并移动文件";
inline constexpr wchar_t kUploadDoneText[] = L"上传完成";
inline constexpr wchar_t kUploadCancelledText[] = L"文件上传已放弃";
inline constexpr wchar_t kDownloadCancelledText[] = L"放弃了下载任务";
inline constexpr wchar_t kDeletingText[] = L"请稍后...\u3000正在删除邮件";
inline constexpr wchar_t kMovingText[] = L"请稍后...\u3000正在移动选择的邮件";
inline constexpr wchar_t kMoveDoneText[] = L"移动邮件完成";
// The system would not start a worker for the transfer.
inline constexpr wchar_t kTransferNotStartedText[] = L"无法启动传输任务";

// Message boxes: text and caption.
inline constexpr wchar_t kUploadBusyText[] = L"已经有一个上传任务正在进行...";
inline constexpr wchar_t kUploadBusyCaption[] = L"请稍候";
inline constexpr wchar_t kDownloadBusyText[] = L"已经有一个下载任务";
inline constexpr wchar_t kDownloadBusyCaption[] = L"请等待";
inline constexpr wchar_t kNoAttachmentText[] = L"此邮件不包函任何附件";
inline constexpr wchar_t kNoticeCaption[] = L"提示";

// Why a transfer failed, for the status label: "上传失败: <reason>".
std::wstring UploadFailedText(session::Status status);
std::wstring DownloadFailedText(session::Status status);
// The reason part alone; `writing` picks the wording of a local file error.
std::wstring FailureReason(session::Status status, bool writing);

// User-interface thread: replaces the status label's text and paints it at
// once, so it shows also while the thread then waits for the provider.
void ShowStatusText(const std::wstring& text);

// User-interface thread: shows a transfer's failure and keeps the progress
// display from covering it with "操作成功完成" when it ends.
void ShowTransferFailure(const std::wstring& text);

// Worker threads: the same as ShowStatusText, posted to the main window, behind whatever the
// worker posted before.
void PostStatusText(const std::wstring& text);

}  // namespace messagelist
