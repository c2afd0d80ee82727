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

std::string Reason(const catalog::Outcome& outcome, bool writing) {
    using catalog::StoreCode;
    switch (outcome.code) {
    case StoreCode::Ok: return "";
    case StoreCode::NotFound: return "没有找到";
    case StoreCode::Refused: return "服务器拒绝了请求";
    case StoreCode::TooLarge: return "邮件太大, 服务器不接受";
    case StoreCode::QuotaShortTerm: return "发信太频繁, 请稍后再试";
    case StoreCode::QuotaDaily: return "今天的发信量已用完";
    case StoreCode::SessionExpired: return "登录已失效";
    case StoreCode::TimedOut: return "服务器没有响应";
    case StoreCode::Unreachable: return "无法连接服务器";
    case StoreCode::Broken: return "连接中断";
    case StoreCode::Corrupt: return "数据校验失败";
    case StoreCode::LocalFile: return writing ? "无法写入本地文件" : "无法读取本地文件";
    case StoreCode::Cancelled: return "已取消";
    }
    return "错误 " + std::to_string(static_cast<int>(outcome.code));
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

std::string FailureText(Work work, const catalog::Outcome& outcome) {
    if (outcome.Ok()) return {};
    std::string text = std::string(WorkName(work)) + "失败: " + Reason(outcome, work == Work::Download);
    // The detail names what was asked and the provider's own code for a refusal.
    if (!outcome.detail.empty()) text += " (" + outcome.detail + ")";
    return text;
}

const char* ConnectFailureText(Work work) {
    switch (work) {
    case Work::CreateFolder: return "Create UserFolder,connect server error";
    case Work::RenameFolder: return "Update UserFolder,connect server error";
    case Work::DeleteFolder: return "Delete UserFolder,connect server error";
    case Work::Move: return "Update UserFolder,connect server error";
    case Work::Delete: return "Update Software connection server Error";
    case Work::Download: return "down load file error";
    case Work::LoadFolders:
    case Work::List:
    case Work::Upload:
    case Work::Search:
    case Work::Properties:
    case Work::Empty: return nullptr;
    }
    return nullptr;
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
        default:
            // A NUL would cut the name short on its way to the system, and
            // control characters name nothing a user can see.
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '-';
            break;
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
    return text + "\r\n" + kImapAccountExample;
}

}  // namespace app
