#include "messagelist/transfer_status.h"

#include <windows.h>

#include "mainwindow/status_label.h"
#include "messagelist/transfer_book.h"

namespace messagelist {

std::wstring FailureReason(session::Status status, bool writing) {
    using session::Status;
    switch (status) {
    case Status::Ok: return L"";
    case Status::FileError: return writing ? L"无法写入本地文件" : L"无法读取本地文件";
    case Status::FileTooLarge: return L"文件不能超过 2 GB";
    case Status::Refused: return L"服务器拒绝了请求";
    case Status::NotFound: return L"邮件没有出现在收件箱中";
    case Status::Incomplete: return L"传输中断, 文件不完整";
    case Status::TimedOut: return L"服务器没有响应";
    case Status::RequestTooLarge: return L"文件名太长";
    case Status::ConnectFailed:
    case Status::ConnectWaitFailed:
    case Status::ConnectIndeterminate:
    case Status::HostUnresolved: return L"无法连接服务器";
    case Status::ReceiveWaitFailed:
    case Status::SendWaitFailed:
    case Status::SendFailed: return L"连接中断";
    case Status::CertificateRefused: return L"服务器证书未通过验证";
    case Status::SecureChannelFailed: return L"无法建立安全连接";
    }
    return L"错误 " + std::to_wstring(static_cast<int>(status));
}

std::wstring UploadFailedText(session::Status status) {
    return L"上传失败: " + FailureReason(status, false);
}

std::wstring DownloadFailedText(session::Status status) {
    return L"下载失败: " + FailureReason(status, true);
}

void ShowStatusText(const std::wstring& text) {
    mainwindow::SetStatusText(text);
    if (mainwindow::statusLabel) UpdateWindow(mainwindow::statusLabel);
}

void ShowTransferFailure(const std::wstring& text) {
    ShowStatusText(text);
    Transfers().failureShown = true;
}

void PostStatusText(const std::wstring& text) {
    mainwindow::SetStatusText(text);
}

}  // namespace messagelist
