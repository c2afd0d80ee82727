// The texts the desktop shows, composed without the windows: status label
// texts, the size column, the folder title, the file name the save dialog
// proposes, and what a failure says. All UTF-8; the windows
// convert them to UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/model.h"
#include "catalog/outcome.h"

namespace app {

// Status label texts.
inline constexpr char kReadyText[] = "准备就绪";
inline constexpr char kAllDoneText[] = "操作成功完成";
inline constexpr char kUploadDoneText[] = "上传完成";
inline constexpr char kUploadCancelledText[] = "文件上传已放弃";
// Vaults. A folder's name cannot be sealed, so none is made in a vault.
inline constexpr char kVaultFolderRefusedText[] =
    "保险箱中不能上传文件夹 (文件夹的名字会以明文出现)。请逐个上传其中的文件。";
inline constexpr char kVaultLockedText[] = "保险箱未打开: 请双击它并输入保险箱密码。";
inline constexpr char kVaultWrongPassphraseText[] = "保险箱密码错误";
inline constexpr char kVaultOpeningText[] = "正在打开保险箱...";
inline constexpr char kVaultOpenedText[] = "保险箱已打开";
inline constexpr char kVaultCreatingText[] = "正在新建保险箱...";
inline constexpr char kVaultCreatedText[] = "保险箱已建好";
inline constexpr char kVaultNotOpenedText[] = "保险箱未打开";
// A name is sealed with its vault's key: a file cannot change vaults by a move.
inline constexpr char kVaultMoveRefusedText[] = "文件不能移入或移出保险箱 (文件名用保险箱的密钥加密)。请下载后再上传。";
inline constexpr char kVaultFolderDownloadRefusedText[] = "保险箱不能整个下载: 请打开它, 选中文件后下载。";
inline constexpr char kDownloadCancelledText[] = "放弃了下载任务";
// A stored name the local-name rule refuses, shown escaped, when several
// files go into one folder: the user fetches it alone under a name of their own.
inline constexpr char kUnsafeNameSkippedText[] = "已跳过名称不能用作本地文件名的文件 (请单独下载并另取名字): ";
// What a dropped folder held that is not stored (links, devices, names the
// drive refuses), with why.
inline constexpr char kTreeSkippedText[] = "已跳过不能上传的项目: ";
// Failures whose remedy lies with the user, shown alone or after "<work>失败: ".
inline constexpr char kUnreachableText[] = "无法连接服务器。请检查网络连接, 稍后再试。";
inline constexpr char kWrongPasswordText[] = "密码不正确或用户不存在。请检查账号和密码后重试。";
inline constexpr char kCertificateRefusedText[] =
    "服务器的证书未通过验证, 连接已中止, 没有发送任何数据。请检查系统时间, 或联系网络管理员。";
inline constexpr char kMailboxFullText[] = "邮箱已满。请在已删除中清理文件或释放空间后再试。";
// The system would not start a thread for the work.
inline constexpr char kWorkNotStartedText[] = "无法启动后台任务";

// What a piece of work was, for the text of its failure.
enum class Work {
    LoadFolders,
    List,
    CreateFolder,
    RenameFolder,
    DeleteFolder,
    Move,
    Delete,
    Upload,
    Download,
    Search,
    Properties,
    Empty,
    MapDrive,
    OpenVault,
    CreateVault,
};

// "<work>失败: <why>。<what the user can do>"; empty for success. A refusal
// names the provider's code when it gave one.
std::string FailureText(Work work, const catalog::Outcome& outcome);
// What a failed sign-in says: a wrong password, an unreachable provider, a
// refused certificate and other refusals each their own text.
std::string SignInFailureText(const catalog::Outcome& outcome);
// The box's text when the work could not reach the mailbox; none for work
// that has no box of its own.
const char* ConnectFailureText(Work work);
// "<work>失败: <detail>", for work whose failure comes with its own detail.
std::string FailureText(Work work, const std::string& detail);
// "<work>失败: <name>: <why>。<what to do>", for a transfer of one file.
std::string FailureText(Work work, const std::string& name, const catalog::Outcome& outcome);

// The size column: a decimal byte count at the start of the cell (after
// optional blanks and a sign; 0 without digits) shown as "1023 BYTE",
// "1.50 KB" or "1.04 MB" with two truncated decimals. Every result fits the
// column's 20-byte text.
std::string FormatSizeText(const std::string& cell);

// The name of the folder with that id (compared as numbers), at most 99
// bytes; empty when the list holds no such folder.
std::string FolderTitle(const FolderList& folders, const std::string& folderId);
// The same with what the list shows of it: "工作文档 (8 个文件, 1.2 GB)".
std::string FolderTitle(const FolderList& folders, const std::string& folderId, std::size_t files, std::uint64_t bytes);

// A byte count as people read it: "999 字节", "1.5 KB", "12.0 MB", "123 GB"
// (1024 to the unit; one truncated decimal below 100 of it, none above).
std::string HumanSize(std::uint64_t bytes);

// The name the save dialog proposes: the subject with each of \ / ? < > | :
// " *, NUL and the other control characters replaced by "-".
std::string ProposedFileName(const std::string& subject);

// How an IMAP account is typed into the account box (account.h).
inline constexpr char kImapAccountExample[] = "IMAP 邮箱: imaps://用户名@服务器:端口";

// The "提示" text for an account whose domain is not supported: the prompt,
// one example address per supported domain and the IMAP form.
std::string UnsupportedDomainText();

}  // namespace app
