// The texts of the file list: the cells of a file's row, the properties of
// a file and of a folder, and the question before a folder is emptied.
// UTF-8, composed without the windows.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/file_list.h"
#include "catalog/catalog.h"

namespace app {

// Whether a download of the file came out checked, as far as this run knows.
enum class DownloadVerdict { NotYet, Verified, Failed };

// The list of files: what each column shows. The type is the shell's name
// for the extension on Windows; TypeText is what sorts and what shows
// elsewhere.
enum class FileColumn { Name, Size, Modified, Type };
inline constexpr const char* kFileColumnHeaders[] = {"名称", "大小", "修改时间", "类型"};
struct FileColumns {
    std::string name;      // as stored, "&" and all; incomplete and damaged files say so
    std::string size;      // HumanSize of the whole file
    std::string modified;  // local time, "2026-12-07 18:31"
    std::string type;      // "ZIP 文件", "文件" without an extension
};
FileColumns ColumnsOf(const FileRow& row);
// Local time as "2026-12-07 18:31"; empty for 0 or a time the system cannot show.
std::string LocalTimeText(std::int64_t seconds);
// The local calendar time of UTC seconds, the same way on Windows and POSIX;
// false when the system cannot give it.
bool LocalTimeOf(std::int64_t seconds, std::tm& local);
// The extension of a name, dot included, as written ("" for none, ".hidden").
std::string ExtensionOf(const std::string& name);

// The seed's mail view ("邮件视图"): 标题, 大小, 接收日期, 发送日期, 来自.
struct FileCells {
    std::string title;  // "@  " before the name when its mail carries an attachment; incomplete files say so
    std::string size;   // the whole file's, as FormatSizeText shows bytes
    std::string receivedDate;
    std::string sentDate;
    std::string from;
};
FileCells CellsOf(const FileRow& row);

// "名称", "大小", "分段" with each part's mail id, "SHA-256", "存储时间" and
// the last download's verdict, one per line (CR LF).
std::string FilePropertiesText(const catalog::FileDetails& details, DownloadVerdict verdict);

struct FolderSummary {
    std::string id;
    std::string name;
    std::string unread;  // as the folder list counts it
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};
std::string FolderPropertiesText(const FolderSummary& folder);

// The question before a folder's mails go to "已删除".
std::string EmptyFolderQuestion(const std::string& folderName, std::uint64_t files);

// The trash's name, where deleted files and folders wait.
inline constexpr char kTrashName[] = "已删除";
// The space the account uses, for the status line. The mailbox reports no
// quota, so this is what its folders say their mails take, said as such;
// empty when a folder holding mails gave no size (an IMAP server without
// STATUS SIZE), rather than a sum that leaves it out.
std::string SpaceUsedText(const std::vector<catalog::FolderInfo>& folders);

// Said instead of emptying the trash: a store's delete only moves mails to
// the trash, so nothing here destroys them and the files stay recoverable.
std::string TrashKeptText(const std::string& folderName, std::uint64_t files);

// The question before files go to the trash: how many, then the first
// names, one per line.
std::string DeleteFilesQuestion(const std::vector<std::string>& names);
// The question before a folder is deleted with the folders and files below
// it: how many of each, and that the files go to the trash.
std::string DeleteFolderQuestion(const std::string& folderName, std::uint64_t folders, std::uint64_t files);
// What a deletion of a folder with those below it came to.
std::string FolderDeletedText(const std::string& folderName, std::uint64_t folders, std::uint64_t files);
// The status line while files move ("正在把 3 个文件移到已删除...") and
// once they have ("已将 3 个文件移到已删除: a, b, c"); `where` is the target
// as shown. A long list of names ends with "等".
std::string FilesMovingText(const std::string& where, std::size_t count);
std::string FilesMovedText(const std::string& where, const std::vector<std::string>& names);

// Where "下载邮件" saves part `number` of a file in `parts`: the chosen path
// for one part; else ".partK" before the chosen name's extension.
std::filesystem::path MailPathOf(const std::filesystem::path& chosen, std::uint32_t number, std::uint32_t parts);

}  // namespace app
