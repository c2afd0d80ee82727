#include "app/texts.h"

#include <limits>

#include "platform/text.h"
#include "session/provider_directory.h"

namespace app {

namespace {
constexpr std::int64_t kKilo = 1024;
constexpr std::int64_t kMega = 1048576;
// The most negative count whose text ("-9999999999999 BYTE") fits.
constexpr std::int64_t kLowestShown = -9999999999999;
constexpr std::size_t kFolderTitleBytes = 99;

const char* WorkName(Work work) {
    switch (work) {
    case Work::LoadFolders: return "读取文件夹";
    case Work::List: return "读取邮件列表";
    case Work::CreateFolder: return "新建文件夹";
    case Work::RenameFolder: return "重命名文件夹";
    case Work::DeleteFolder: return "删除文件夹";
    case Work::Move: return "移动邮件";
    case Work::Delete: return "删除邮件";
    case Work::Upload: return "上传";
    case Work::Download: return "下载";
    case Work::Search: return "搜索";
    case Work::Properties: return "读取属性";
    case Work::Empty: return "清空邮件";
    }
    return "操作";
}

std::string Reason(session::Status status, bool writing) {
    using session::Status;
    switch (status) {
    case Status::Ok: return "";
    case Status::FileError: return writing ? "无法写入本地文件" : "无法读取本地文件";
    case Status::FileTooLarge: return "文件不能超过 2 GB";
    case Status::Refused: return "服务器拒绝了请求";
    case Status::NotFound: return "邮件没有出现在收件箱中";
    case Status::Incomplete: return "传输中断, 文件不完整";
    case Status::TimedOut: return "服务器没有响应";
    case Status::RequestTooLarge: return "名称太长";
    case Status::ConnectFailed:
    case Status::ConnectWaitFailed:
    case Status::ConnectIndeterminate:
    case Status::HostUnresolved: return "无法连接服务器";
    case Status::ReceiveWaitFailed:
    case Status::SendWaitFailed:
    case Status::SendFailed: return "连接中断";
    case Status::CertificateRefused: return "服务器证书未通过验证";
    case Status::SecureChannelFailed: return "无法建立安全连接";
    case Status::Unreadable: return "服务器的回答无法读懂";
    case Status::TooSlow: return "传输太慢, 已放弃";
    case Status::AnswerTooLarge: return "服务器的回答太大";
    case Status::BadName: return "文件名含有不能发送的字符";
    case Status::BoundaryClash: return "无法为文件找到分隔符";
    case Status::Cancelled: return "已取消";
    }
    return "错误 " + std::to_string(static_cast<int>(status));
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A signed decimal at the start of the text; values beyond 64 bits saturate.
std::int64_t ReadByteCount(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulate towards the negative side, whose range is one larger.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (value < (kMin + digit) / 10) {
            value = kMin;
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
}

// Two decimals of remainder / unit by long division, truncated.
std::string TwoDecimals(std::int64_t remainder, std::int64_t unit) {
    std::string digits;
    for (int i = 0; i < 2; ++i) {
        remainder *= 10;
        digits.push_back(static_cast<char>('0' + remainder / unit));
        remainder %= unit;
    }
    return digits;
}
}  // namespace

std::string FailureText(Work work, session::Status status, const std::string& refusalCode) {
    if (status == session::Status::Ok) return {};
    std::string text = std::string(WorkName(work)) + "失败: " + Reason(status, work == Work::Download);
    if (status == session::Status::Refused && !refusalCode.empty()) text += " (" + refusalCode + ")";
    return text;
}

std::string FailureText(Work work, const std::string& detail) {
    return std::string(WorkName(work)) + "失败: " + detail;
}

std::string FormatSizeText(const std::string& cell) {
    std::int64_t bytes = ReadByteCount(cell);
    if (bytes >= kMega) return std::to_string(bytes / kMega) + "." + TwoDecimals(bytes % kMega, kMega) + " MB";
    if (bytes < kKilo) return std::to_string(bytes < kLowestShown ? kLowestShown : bytes) + " BYTE";
    return std::to_string(bytes / kKilo) + "." + TwoDecimals(bytes % kKilo, kKilo) + " KB";
}

namespace {
std::string TitleWithTotal(const FolderList& folders, const std::string& folderId, const std::string* total) {
    std::optional<std::uint64_t> wanted = ReadFolderId(folderId);
    if (!wanted) return {};
    for (const Folder& folder : folders) {
        if (ReadFolderId(folder.id) != wanted) continue;
        std::string title = folder.name + "(" + folder.unreadCount + "/" + (total ? *total : folder.messageCount) + ")";
        return platform::CutUtf8(title, kFolderTitleBytes);
    }
    return {};
}
}  // namespace

std::string FolderTitle(const FolderList& folders, const std::string& folderId) {
    return TitleWithTotal(folders, folderId, nullptr);
}

std::string FolderTitle(const FolderList& folders, const std::string& folderId, std::size_t files) {
    std::string total = std::to_string(files);
    return TitleWithTotal(folders, folderId, &total);
}

std::string ProposedFileName(const std::string& subject) {
    std::string name = subject;
    for (char& c : name) {
        switch (c) {
        case '\\':
        case '/':
        case '?':
        case '<':
        case '>':
        case '|':
        case ':':
        case '"':
        case '*': c = '-'; break;
        default: break;
        }
    }
    return name;
}

std::string UnsupportedDomainText() {
    std::string text = "不支持此邮件服务提供商或者格式不正确\r\n您应输入如下格式: ";
    for (int entry = 1; entry <= session::kEntryCount; ++entry) {
        if (entry > 1) text += "\r\n";
        text += session::EntryByNumber(entry)->exampleAddress;
    }
    return text;
}

}  // namespace app
