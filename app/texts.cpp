#include "app/texts.h"

#include <iterator>
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
    case Work::List: return "读取文件列表";
    case Work::CreateFolder: return "新建文件夹";
    case Work::RenameFolder: return "重命名";
    case Work::DeleteFolder: return "删除文件夹";
    case Work::Move: return "移动文件";
    case Work::Delete: return "删除文件";
    case Work::Upload: return "上传";
    case Work::Download: return "下载";
    case Work::Search: return "搜索";
    case Work::Properties: return "读取属性";
    case Work::Empty: return "清空文件夹";
    case Work::MapDrive: return "映射网络驱动器";
    case Work::OpenVault: return "打开保险箱";
    case Work::CreateVault: return "新建保险箱";
    }
    return "操作";
}

bool Holds(const std::string& text, const char* word) {
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper.find(word) != std::string::npos;
}

// The stores say a refused certificate and a full mailbox only in their
// detail (and the provider's code): both need a text of their own, as what
// the user can do differs.
bool CertificateRefused(const catalog::Outcome& outcome) {
    return outcome.code == catalog::StoreCode::CertificateRefused ||
           (outcome.code == catalog::StoreCode::Unreachable && Holds(outcome.detail, "CERTIFICATE") &&
            Holds(outcome.detail, "REFUSED"));
}

bool MailboxFull(const catalog::Outcome& outcome) {
    return outcome.code == catalog::StoreCode::Refused &&
           (Holds(outcome.refusal, "QUOTA") || Holds(outcome.detail, "OVERQUOTA"));
}

// What went wrong and what the user can do about it.
std::string Reason(const catalog::Outcome& outcome, bool writing) {
    using catalog::StoreCode;
    if (CertificateRefused(outcome)) return kCertificateRefusedText;
    if (MailboxFull(outcome)) return kMailboxFullText;
    switch (outcome.code) {
    case StoreCode::Ok: return "";
    case StoreCode::NotFound: return "文件或文件夹已不在服务器上。请按 F5 刷新后再试。";
    case StoreCode::Refused: {
        std::string text = "服务器拒绝了请求";
        if (!outcome.refusal.empty()) text += " (代码 " + outcome.refusal + ")";
        return text + "。请稍后再试; 如果一再出现, 请在网页邮箱中查看。";
    }
    case StoreCode::TooLarge: return "文件超过了邮箱允许的单封邮件大小。";
    case StoreCode::QuotaShortTerm: return "发信太频繁, 邮箱暂时不收。请过几分钟再试。";
    case StoreCode::QuotaDaily: return "今天的发信量已用完。请明天再试。";
    case StoreCode::SessionExpired: return "登录已失效。请重新登录。";
    case StoreCode::TimedOut: return "服务器长时间没有响应。请检查网络后重试。";
    case StoreCode::Unreachable: return kUnreachableText;
    case StoreCode::Broken: return "与服务器的连接中断了。请重试。";
    case StoreCode::Corrupt: return "收到的数据校验失败。请重试; 如果一再出现, 文件可能已损坏。";
    case StoreCode::LocalFile:
        return writing ? "无法写入本地文件。请检查目标文件夹的空间和权限。"
                       : "无法读取本地文件。请检查文件是否还在、是否被占用。";
    case StoreCode::Cancelled: return "已取消。";
    case StoreCode::SignInRefused: return "账号或密码不正确。请重新登录。";
    case StoreCode::CertificateRefused: return kCertificateRefusedText;
    }
    return "未知错误 (" + std::to_string(static_cast<int>(outcome.code)) + ")。请重试。";
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
    // The store's detail is for logs (English, with ids): the user reads
    // what failed, why and what to do.
    return std::string(WorkName(work)) + "失败: " + Reason(outcome, work == Work::Download);
}

std::string SignInFailureText(const catalog::Outcome& outcome) {
    using catalog::StoreCode;
    if (outcome.Ok()) return {};
    if (CertificateRefused(outcome)) return std::string("登录失败: ") + kCertificateRefusedText;
    switch (outcome.code) {
    case StoreCode::SignInRefused: return kWrongPasswordText;
    case StoreCode::Refused:
        // An IMAP server names its refusal; the provider's sign-in refuses a
        // wrong password only.
        if (outcome.detail.find("sign-in") != std::string::npos) return kWrongPasswordText;
        return "登录失败: 服务器拒绝了登录。请检查账号的写法后重试。";
    case StoreCode::Unreachable:
    case StoreCode::TimedOut:
    case StoreCode::Broken: return std::string("登录失败: ") + kUnreachableText;
    default: return "登录失败: " + Reason(outcome, false);
    }
}

const char* ConnectFailureText(Work work) {
    switch (work) {
    case Work::CreateFolder:
    case Work::RenameFolder:
    case Work::DeleteFolder:
    case Work::Move:
    case Work::Delete:
    case Work::OpenVault:
    case Work::CreateVault:
    case Work::Download: return kUnreachableText;
    case Work::LoadFolders:
    case Work::List:
    case Work::Upload:
    case Work::Search:
    case Work::Properties:
    case Work::Empty:
    case Work::MapDrive: return nullptr;
    }
    return nullptr;
}

std::string FailureText(Work work, const std::string& detail) {
    return std::string(WorkName(work)) + "失败: " + detail;
}

std::string FailureText(Work work, const std::string& name, const catalog::Outcome& outcome) {
    if (outcome.Ok()) return {};
    return std::string(WorkName(work)) + "失败: " + name + ": " + Reason(outcome, work == Work::Download);
}

std::string FormatSizeText(const std::string& cell) {
    std::int64_t bytes = ReadByteCount(cell);
    if (bytes >= kMega) return std::to_string(bytes / kMega) + "." + TwoDecimals(bytes % kMega, kMega) + " MB";
    if (bytes < kKilo) return std::to_string(bytes < kLowestShown ? kLowestShown : bytes) + " BYTE";
    return std::to_string(bytes / kKilo) + "." + TwoDecimals(bytes % kKilo, kKilo) + " KB";
}

namespace {
const Folder* FindFolder(const FolderList& folders, const std::string& folderId) {
    std::optional<std::uint64_t> wanted = ReadFolderId(folderId);
    if (!wanted) return nullptr;
    for (const Folder& folder : folders)
        if (ReadFolderId(folder.id) == wanted) return &folder;
    return nullptr;
}
}  // namespace

std::string FolderTitle(const FolderList& folders, const std::string& folderId) {
    const Folder* folder = FindFolder(folders, folderId);
    return folder ? platform::CutUtf8(folder->name, kFolderTitleBytes) : std::string();
}

std::string FolderTitle(const FolderList& folders, const std::string& folderId, std::size_t files,
                        std::uint64_t bytes) {
    const Folder* folder = FindFolder(folders, folderId);
    if (!folder) return {};
    // The counts always show; the name gives way.
    std::string counts = " (" + std::to_string(files) + " 个文件, " + HumanSize(bytes) + ")";
    return platform::CutUtf8(folder->name, kFolderTitleBytes - counts.size()) + counts;
}

std::string HumanSize(std::uint64_t bytes) {
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < kKilo) return std::to_string(bytes) + " 字节";
    // Tenths of the largest unit that leaves at least 1, truncated.
    std::size_t unit = 0;
    std::uint64_t scale = kKilo;
    while (unit + 1 < std::size(kUnits) && bytes / scale >= kKilo) scale *= kKilo, ++unit;
    std::uint64_t whole = bytes / scale;
    if (whole >= 100) return std::to_string(whole) + " " + kUnits[unit];
    std::uint64_t tenths = (bytes % scale) * 10 / scale;  // below 2^60 * 10: no overflow
    return std::to_string(whole) + "." + std::to_string(tenths) + " " + kUnits[unit];
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
